#include "cli/listcommand.h"

#include "cli/storeopener.h"
#include "cli/terminaltext.h"
#include "library/records/artifactcache.h"
#include "library/disk/fileproblems.h"
#include "library/catalogue/homepath.h"
#include "library/catalogue/settingskeys.h"
#include "library/catalogue/turnedoff.h"
#include "library/store/modelcontainer.h"
#include "library/store/modelcontext.h"
#include "library/records/skill.h"
#include "library/records/skillartifact.h"
#include "library/records/skillcollection.h"
#include "library/scan/scanpipeline.h"
#include "library/scan/unchangedlibrary.h"
#include "library/sources/skillorigin.h"

#include <QDir>
#include <QFileInfo>
#include <QEventLoop>
#include <QJsonDocument>
#include <QHash>
#include <QJsonObject>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

QJsonObject artifactToJson(const SkillArtifact &artifact)
{
    return QJsonObject{
        {QStringLiteral("relativePath"), artifact.relativePath},
        {QStringLiteral("category"), ArtifactCategories::title(artifact.category)},
        {QStringLiteral("fileExtension"), artifact.fileExtension},
    };
}

// Where a lock file says the skill came from; null for a skill none names. No
// file of the skill is read for it: only the lock files, once each.
QJsonValue sourceToJson(const Skill &skill, LockFileCache &locks)
{
    if (!skill.isDirectory())
        return QJsonValue(QJsonValue::Null);
    QStringList folders{QFileInfo(skill.filePath()).absolutePath(), QFileInfo(skill.resolvedPath()).absolutePath()};
    for (const QString &path : skill.installedPaths())
        folders.append(QFileInfo(path).absolutePath());
    const std::optional<SkillOrigin> origin = originOf(folders, locks);
    if (!origin)
        return QJsonValue(QJsonValue::Null);
    QJsonObject object{{QStringLiteral("lockFile"), origin->lockPath}, {QStringLiteral("name"), origin->entry.name}};
    const auto put = [&object](const char *key, const QString &value) {
        if (!value.isEmpty())
            object.insert(QLatin1String(key), value);
    };
    put("source", origin->entry.source);
    put("sourceType", origin->entry.sourceType);
    put("sourceUrl", origin->entry.sourceUrl);
    put("ref", origin->entry.ref);
    put("skillPath", origin->entry.skillPath);
    put(origin->kind == LockKind::Global ? "skillFolderHash" : "computedHash", origin->entry.hash);
    put("installedAt", origin->entry.installedAt);
    put("updatedAt", origin->entry.updatedAt);
    return object;
}

QJsonObject skillToJson(const Skill &skill, const ArtifactCache &artifacts, const QStringList &customRoots,
                        const QString &turnedOffFolder, LockFileCache &locks)
{
    QJsonArray tools;
    for (ToolSource tool : skill.toolSources())
        tools.append(Tools::rawValue(tool));
    QJsonObject frontmatter;
    const Skill::Frontmatter map = skill.frontmatter();
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        frontmatter.insert(it.key(), it.value());
    QJsonArray collections;
    for (const SkillCollection *collection : skill.collections())
        collections.append(collection->name());
    QJsonArray artifactList;
    if (skill.isDirectory()) {
        for (const SkillArtifact &artifact : artifacts.artifacts(skill.filePath()))
            artifactList.append(artifactToJson(artifact));
    }
    const std::optional<QString> project = skill.projectName(customRoots, turnedOffFolder);

    QJsonObject json{
        {QStringLiteral("name"), skill.name()},
        {QStringLiteral("description"), skill.skillDescription()},
        {QStringLiteral("filePath"), skill.filePath()},
        {QStringLiteral("resolvedPath"), skill.resolvedPath()},
        {QStringLiteral("isDirectory"), skill.isDirectory()},
        {QStringLiteral("isGlobal"), skill.isGlobal()},
        {QStringLiteral("projectName"), project ? QJsonValue(*project) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("toolSources"), tools},
        {QStringLiteral("installedPaths"), QJsonArray::fromStringList(skill.installedPaths())},
        {QStringLiteral("frontmatter"), frontmatter},
        {QStringLiteral("fileSize"), skill.fileSize()},
        {QStringLiteral("fileModifiedDate"), skill.fileModifiedDate().toUTC().toString(Qt::ISODate)},
        {QStringLiteral("isFavorite"), skill.isFavorite()},
        {QStringLiteral("collections"), collections},
        {QStringLiteral("artifacts"), artifactList},
    };
    if (const QJsonValue source = sourceToJson(skill, locks); source.isObject())
        json.insert(QStringLiteral("source"), source);
    return json;
}

} // namespace

QJsonArray skillsToJson(const QList<Skill *> &skills, const ArtifactCache &artifacts)
{
    QJsonArray array;
    const QStringList customRoots = readCustomScanPaths();
    const QString turnedOff = turnedOffFolder();
    LockFileCache locks;
    for (const Skill *skill : skills)
        array.append(skillToJson(*skill, artifacts, customRoots, turnedOff, locks));
    return array;
}

QString toolNames(const Skill &skill)
{
    QStringList names;
    for (ToolSource tool : skill.toolSources())
        names.append(Tools::displayName(tool));
    return names.join(QStringLiteral(", "));
}

namespace {

// One line, each cell padded out to its column's width from the width it shows
// as. Pieces joined, not substituted: a name may itself hold "%2". Trailing
// spaces go. Built in one piece: a listing makes thousands of these.
QString columns(const QString &name, int nameShown, const QString &tools, int toolsShown, const QString &path,
                int nameWidth, int toolsWidth)
{
    const qsizetype namePad = std::max(0, nameWidth - nameShown);
    const qsizetype toolsPad = std::max(0, toolsWidth - toolsShown);
    QString line;
    line.reserve(name.size() + namePad + tools.size() + toolsPad + path.size() + 4);
    line += name;
    line.resize(line.size() + namePad, u' ');
    line += QLatin1String("  ");
    line += tools;
    line.resize(line.size() + toolsPad, u' ');
    line += QLatin1String("  ");
    line += path;
    while (line.endsWith(u' '))
        line.chop(1);
    return line;
}

QString columns(const QString &name, const QString &tools, const QString &path, int nameWidth, int toolsWidth)
{
    return columns(name, displayWidth(name), tools, displayWidth(tools), path, nameWidth, toolsWidth);
}

} // namespace

QString skillToLine(const Skill &skill, int nameWidth, int toolsWidth)
{
    return columns(terminalSafe(skill.name()), toolNames(skill), terminalSafe(abbreviateHome(skill.filePath())),
                   nameWidth, toolsWidth);
}

namespace {

// Each cell made and measured once: the widths and the lines both need them.
struct Cells {
    Cells(QString name, QString tools, QString path)
        : name(std::move(name)), tools(std::move(tools)), path(std::move(path)),
          nameShown(displayWidth(this->name)), toolsShown(displayWidth(this->tools))
    {
    }
    QString name;
    QString tools;
    QString path;
    int nameShown = 0;
    int toolsShown = 0;
};

QStringList linesOf(const std::vector<Cells> &rows, bool header)
{
    const QString nameTitle = QStringLiteral("NAME");
    const QString toolsTitle = QStringLiteral("TOOLS");
    int nameWidth = header ? displayWidth(nameTitle) : 0;
    int toolsWidth = header ? displayWidth(toolsTitle) : 0;
    for (const Cells &cells : rows) {
        nameWidth = std::max(nameWidth, cells.nameShown);
        toolsWidth = std::max(toolsWidth, cells.toolsShown);
    }
    QStringList lines;
    lines.reserve(qsizetype(rows.size()) + 1);
    if (header && !rows.empty())
        lines.append(columns(nameTitle, toolsTitle, QStringLiteral("PATH"), nameWidth, toolsWidth));
    for (const Cells &cells : rows)
        lines.append(columns(cells.name, cells.nameShown, cells.tools, cells.toolsShown, cells.path, nameWidth, toolsWidth));
    return lines;
}

QString toolNames(const QList<ToolSource> &tools)
{
    QStringList names;
    for (ToolSource tool : tools)
        names.append(Tools::displayName(tool));
    return names.join(QStringLiteral(", "));
}

// The tools' names by the record's stored form of them: a library holds few
// distinct sets, so each is named once.
class NamedTools final
{
public:
    const QString &of(const QString &toolSourcesRaw)
    {
        auto found = m_byRaw.constFind(toolSourcesRaw);
        if (found == m_byRaw.cend())
            found = m_byRaw.insert(toolSourcesRaw, toolNames(SkillEncoding::decodeToolSources(toolSourcesRaw)));
        return *found;
    }

private:
    QHash<QString, QString> m_byRaw;
};

} // namespace

QStringList plainListing(const QList<Skill *> &skills, bool header)
{
    const QString home = QDir::homePath();
    NamedTools tools;
    std::vector<Cells> rows;
    rows.reserve(size_t(skills.size()));
    for (const Skill *skill : skills)
        rows.emplace_back(terminalSafe(skill->name()), tools.of(skill->toolSourcesRaw()),
                          terminalSafe(abbreviateHome(skill->filePath(), home)));
    return linesOf(rows, header);
}

QStringList plainListing(const QList<UnchangedLibrary::ListedSkill> &skills, bool header)
{
    const QString home = QDir::homePath();
    NamedTools tools;
    std::vector<Cells> rows;
    rows.reserve(size_t(skills.size()));
    for (const UnchangedLibrary::ListedSkill &skill : skills)
        rows.emplace_back(terminalSafe(skill.name), tools.of(skill.toolSourcesRaw),
                          terminalSafe(abbreviateHome(skill.filePath, home)));
    return linesOf(rows, header);
}

void scanToEnd(ScanPipeline &pipeline, FileProblems &problems)
{
    // The same scan as the window's, with no window to keep drawn: one slice
    // takes whatever the workers have ready.
    pipeline.setSliceBudget(std::chrono::milliseconds(0));
    pipeline.setMakesSearchKeys(false);
    pipeline.setSavesInBackground(true);
    pipeline.setProblems(&problems);
    QEventLoop loop;
    QObject::connect(&pipeline, &ScanPipeline::finished, &loop, &QEventLoop::quit);
    pipeline.request(ScanRequest::full(true));
    if (pipeline.isRunning())
        loop.exec();
}

int runListCommand(bool json, QTextStream &out, QTextStream &err, bool header, ListCommandEnd end)
{
    // Nothing changed since the last scan: the stored rows are the listing, and
    // nothing needs opening the full way, scanning or saving.
    if (!json) {
        if (const auto unchanged = UnchangedLibrary::read(ModelContainer::defaultStorePath(), QDir::homePath(),
                                                          readCustomScanPaths())) {
            for (const QString &line : plainListing(unchanged->skills, header))
                out << line << '\n';
            out.flush();
            for (const FileProblem &problem : unchanged->problems)
                err << "vesk: " << terminalSafe(abbreviateHome(problem.path)) << ": " << problem.reason << '\n';
            err.flush();
            return 0;
        }
    }
    QString fatal;
    const std::unique_ptr<ModelContainer> container = openApplicationStore(&fatal);
    if (!container) {
        err << fatal << Qt::endl;
        return 1;
    }
    // A first scan writes every record here: with SQLite's default cache, the
    // indexes' pages it keeps coming back to were read back from the log
    // thousands of times.
    container->setPageCache(16);
    ModelContext &context = *container->mainContext();
    QStringList setAside;
    QObject::connect(&context, &ModelContext::changeSetAside, &context,
                     [&setAside](const QString &message) { setAside.append(message); });
    ArtifactCache artifacts;
    FileProblems problems;
    ScanPipeline pipeline(context, artifacts);
    scanToEnd(pipeline, problems);

    // Listed while the scan's last save is written.
    const QList<Skill *> skills = context.skills();
    if (json) {
        out << QString::fromUtf8(QJsonDocument(skillsToJson(skills, artifacts)).toJson(QJsonDocument::Indented));
    } else {
        for (const QString &line : plainListing(skills, header))
            out << line << '\n';
    }
    out.flush();
    // The pipeline saves as it goes; whatever a failed save left pending is tried
    // once more here, and a failure now is this command's failure.
    QString saveError;
    const bool saved = context.save(&saveError);

    // Files left out are said, not failed on: the listing itself is complete.
    for (const FileProblem &problem : problems.all())
        err << "vesk: " << terminalSafe(abbreviateHome(problem.path)) << ": " << problem.reason << '\n';
    for (const QString &message : std::as_const(setAside))
        err << "vesk: " << message << '\n';
    if (!saved)
        err << "vesk: the library could not be saved: " << saveError << '\n';
    err.flush();
    const int status = saved && setAside.isEmpty() ? 0 : 1;
    if (end == ListCommandEnd::EndProcess) {
        // The scan's workers only ever read; the store is what must close well.
        container->closeLeavingRecords();
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
