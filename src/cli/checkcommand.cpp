#include "cli/checkcommand.h"

#include "cli/buildinfo.h"
#include "cli/listcommand.h"
#include "cli/storeopener.h"
#include "cli/terminaltext.h"
#include "library/catalogue/settingskeys.h"
#include "library/checks/checkcache.h"
#include "library/checks/healthstore.h"
#include "library/checks/rules.h"
#include "library/disk/fileproblems.h"
#include "library/records/artifactcache.h"
#include "library/records/skill.h"
#include "library/scan/scanpipeline.h"
#include "library/store/modelcontainer.h"
#include "library/store/modelcontext.h"

#include <QDir>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextStream>
#include <QUrl>

namespace {

bool shown(const Finding &finding, FindingLevel level)
{
    return finding.level >= level;
}

// Tools that annotate lines want a line and a column: a finding about the whole
// file points at its start.
int lineOf(const Finding &finding)
{
    return qMax(finding.line, 1);
}

int columnOf(const Finding &finding)
{
    return qMax(finding.column, 1);
}

QString uriFor(const QString &path)
{
    if (QDir::isAbsolutePath(path))
        return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
    QUrl url;
    url.setPath(QDir::fromNativeSeparators(path));
    return url.toString(QUrl::FullyEncoded);
}

QList<HarnessCost> costOf(const QList<Skill *> &skills)
{
    QList<CostItem> items;
    for (const Skill *skill : skills) {
        CostItem item{skill->name(), skill->skillDescription(), {}};
        for (ToolSource tool : skill->toolSources())
            item.tools |= ToolSet{tool};
        items.append(item);
    }
    return contextCost(items);
}

} // namespace

bool hasFindingsAtLevel(const QList<CheckedFile> &files, FindingLevel level)
{
    for (const CheckedFile &file : files) {
        for (const Finding &finding : file.findings) {
            if (shown(finding, level))
                return true;
        }
    }
    return false;
}

QStringList plainCheckReport(const QList<CheckedFile> &files, FindingLevel level)
{
    QStringList lines;
    for (const CheckedFile &file : files) {
        for (const Finding &finding : file.findings) {
            if (!shown(finding, level))
                continue;
            // Paths and messages quote what files say: shown, never obeyed by the terminal.
            lines.append(terminalSafe(file.path) + u':' + QString::number(lineOf(finding)) + u':'
                         + QString::number(columnOf(finding)) + QStringLiteral(": ") + FindingLevels::name(finding.level)
                         + QStringLiteral(": ") + terminalSafe(finding.message) + QStringLiteral(" [") + finding.rule
                         + u']');
        }
    }
    return lines;
}

QJsonObject jsonCheckReport(const QList<CheckedFile> &files, FindingLevel level, const QList<HarnessCost> &cost)
{
    QJsonArray findings;
    QJsonObject counts{{QStringLiteral("error"), 0}, {QStringLiteral("warning"), 0}, {QStringLiteral("note"), 0}};
    for (const CheckedFile &file : files) {
        for (const Finding &finding : file.findings) {
            if (!shown(finding, level))
                continue;
            const QString levelName = FindingLevels::name(finding.level);
            counts[levelName] = counts[levelName].toInt() + 1;
            QJsonObject entry{
                {QStringLiteral("path"), file.path},
                {QStringLiteral("line"), finding.line},
                {QStringLiteral("column"), finding.column},
                {QStringLiteral("level"), levelName},
                {QStringLiteral("rule"), finding.rule},
                {QStringLiteral("message"), finding.message},
            };
            if (!finding.path.isEmpty())
                entry.insert(QStringLiteral("otherPath"), finding.path);
            findings.append(entry);
        }
    }
    QJsonObject report{
        {QStringLiteral("checkedFiles"), int(files.size())},
        {QStringLiteral("counts"), counts},
        {QStringLiteral("findings"), findings},
    };
    if (!cost.isEmpty()) {
        QJsonArray rows;
        for (const HarnessCost &row : cost) {
            rows.append(QJsonObject{
                {QStringLiteral("tool"), Tools::rawValue(row.tool)},
                {QStringLiteral("skills"), row.skills},
                {QStringLiteral("characters"), qint64(row.characters)},
                {QStringLiteral("estimatedTokens"), qint64(row.tokens)},
            });
        }
        report.insert(QStringLiteral("contextCost"), rows);
    }
    return report;
}

QJsonObject sarifCheckReport(const QList<CheckedFile> &files, FindingLevel level)
{
    QJsonArray rules;
    for (const CheckRule &rule : CheckRules::table()) {
        rules.append(QJsonObject{
            {QStringLiteral("id"), rule.id},
            {QStringLiteral("shortDescription"), QJsonObject{{QStringLiteral("text"), rule.summary}}},
            {QStringLiteral("defaultConfiguration"), QJsonObject{{QStringLiteral("level"), FindingLevels::name(rule.level)}}},
        });
    }
    QJsonArray results;
    for (const CheckedFile &file : files) {
        for (const Finding &finding : file.findings) {
            if (!shown(finding, level))
                continue;
            QJsonObject region{{QStringLiteral("startLine"), lineOf(finding)}};
            if (finding.column > 0)
                region.insert(QStringLiteral("startColumn"), finding.column);
            QJsonObject result{
                {QStringLiteral("ruleId"), finding.rule},
                {QStringLiteral("level"), FindingLevels::name(finding.level)},
                {QStringLiteral("message"), QJsonObject{{QStringLiteral("text"), finding.message}}},
                {QStringLiteral("locations"), QJsonArray{QJsonObject{
                     {QStringLiteral("physicalLocation"), QJsonObject{
                          {QStringLiteral("artifactLocation"), QJsonObject{{QStringLiteral("uri"), uriFor(file.path)}}},
                          {QStringLiteral("region"), region},
                      }},
                 }}},
            };
            if (const CheckRule *rule = CheckRules::find(finding.rule))
                result.insert(QStringLiteral("ruleIndex"), int(rule - CheckRules::table().constData()));
            if (!finding.path.isEmpty()) {
                result.insert(QStringLiteral("relatedLocations"), QJsonArray{QJsonObject{
                    {QStringLiteral("id"), 1},
                    {QStringLiteral("physicalLocation"), QJsonObject{
                         {QStringLiteral("artifactLocation"), QJsonObject{{QStringLiteral("uri"), uriFor(finding.path)}}}}},
                }});
            }
            results.append(result);
        }
    }
    const QJsonObject driver{
        {QStringLiteral("name"), QStringLiteral("vesk")},
        {QStringLiteral("version"), BuildInfo::version()},
        {QStringLiteral("informationUri"), QStringLiteral("https://vesk.app")},
        {QStringLiteral("rules"), rules},
    };
    return QJsonObject{
        {QStringLiteral("$schema"), QStringLiteral("https://json.schemastore.org/sarif-2.1.0.json")},
        {QStringLiteral("version"), QStringLiteral("2.1.0")},
        {QStringLiteral("runs"), QJsonArray{QJsonObject{
             {QStringLiteral("tool"), QJsonObject{{QStringLiteral("driver"), driver}}},
             {QStringLiteral("results"), results},
         }}},
    };
}

int runCheckCommand(const CheckCommandOptions &options, QTextStream &out, QTextStream &err)
{
    QList<CheckedFile> files;
    QList<HarnessCost> cost;
    if (options.paths.isEmpty()) {
        QString fatal;
        const std::unique_ptr<ModelContainer> container = openApplicationStore(&fatal);
        if (!container) {
            err << "vesk: " << fatal << Qt::endl;
            return 2;
        }
        ModelContext &context = *container->mainContext();
        ArtifactCache artifacts;
        FileProblems problems;
        ScanPipeline pipeline(context, artifacts);
        scanToEnd(pipeline, problems); // as `vesk list` does: one library kept up to date
        QString saveError;
        if (!context.save(&saveError))
            err << "vesk: the library could not be saved: " << saveError << '\n';
        const QList<Skill *> skills = context.skills();
        // What the window (or an earlier check) stored is reused where a file's
        // stamp still matches; what is checked afresh is stored in its turn.
        CheckCache cache;
        HealthStore::restore(context.database(), cache);
        files = checkRecords(skills, &cache);
        HealthStore::write(context.database(), cache, cache.takeFresh(), {});
        cost = costOf(skills);
        if (!options.allRules) {
            const QStringList disabled = readDisabledCheckRules();
            for (CheckedFile &file : files)
                file.findings.removeIf([&disabled](const Finding &finding) { return disabled.contains(finding.rule); });
        }
    } else {
        QStringList missing;
        files = checkPaths(options.paths, &missing);
        if (!missing.isEmpty()) {
            for (const QString &path : std::as_const(missing))
                err << "vesk: " << terminalSafe(path) << ": no such file or folder\n";
            err.flush();
            return 2;
        }
    }

    switch (options.format) {
    case CheckCommandOptions::Format::Plain:
        for (const QString &line : plainCheckReport(files, options.level))
            out << line << '\n';
        break;
    case CheckCommandOptions::Format::Json:
        out << QString::fromUtf8(QJsonDocument(jsonCheckReport(files, options.level, cost)).toJson(QJsonDocument::Indented));
        break;
    case CheckCommandOptions::Format::Sarif:
        out << QString::fromUtf8(QJsonDocument(sarifCheckReport(files, options.level)).toJson(QJsonDocument::Indented));
        break;
    }
    out.flush();
    err.flush();
    return hasFindingsAtLevel(files, options.level) ? 1 : 0;
}
