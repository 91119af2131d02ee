#include "library/checks/clashes.h"

#include "library/catalogue/settingskeys.h"
#include "library/catalogue/turnedoff.h"
#include "library/disk/regularfile.h"
#include "library/records/skill.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QHash>

namespace {

ToolSet shared(ToolSet a, ToolSet b)
{
    ToolSet both;
    for (ToolSource tool : Tools::allCases()) {
        if (a.contains(tool) && b.contains(tool))
            both |= ToolSet{tool};
    }
    return both;
}

} // namespace

QString toolNamesInProse(ToolSet tools)
{
    QStringList names;
    for (ToolSource tool : tools.toList())
        names.append(Tools::displayName(tool));
    if (names.size() < 2)
        return names.join(QString());
    const QString last = names.takeLast();
    return QCoreApplication::translate("SkillChecks", "%1 and %2").arg(names.join(QStringLiteral(", ")), last);
}

QList<QList<Finding>> findClashes(const QList<ClashCandidate> &candidates)
{
    QList<QList<Finding>> findings(candidates.size());
    // Asked of the whole library after every change, where nearly every name is
    // held once: candidates sharing a name are chained by index, and only those
    // chains of two or more become groups, instead of a list per name.
    QHash<QStringView, qsizetype> lastWithName;
    lastWithName.reserve(candidates.size());
    QList<qsizetype> previousWithName(candidates.size(), -1);
    QList<qsizetype> sharedNames; // the last candidate of each name held more than once
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        const QString &name = candidates.at(i).name;
        if (name.isEmpty())
            continue;
        qsizetype &last = lastWithName[QStringView(name)];
        if (last != 0) {
            if (previousWithName.at(last - 1) < 0)
                sharedNames.append(last - 1);
            previousWithName[i] = last - 1;
        }
        last = i + 1; // 0 marks a name not seen before
    }
    for (qsizetype &end : sharedNames)
        end = lastWithName.value(QStringView(candidates.at(end).name)) - 1;
    for (const qsizetype end : std::as_const(sharedNames)) {
        QList<qsizetype> group;
        for (qsizetype at = end; at >= 0; at = previousWithName.at(at))
            group.prepend(at);
        for (qsizetype a = 0; a < group.size(); ++a) {
            for (qsizetype b = 0; b < group.size(); ++b) {
                if (a == b)
                    continue;
                const ClashCandidate &self = candidates.at(group.at(a));
                const ClashCandidate &other = candidates.at(group.at(b));
                const ToolSet tools = shared(self.tools, other.tools);
                const bool together = self.project.isEmpty() || other.project.isEmpty() || self.project == other.project;
                if (tools.isEmpty() || !together)
                    continue;
                const bool identical = !self.digest.isEmpty() && self.digest == other.digest;
                Finding finding;
                finding.path = other.path;
                if (identical) {
                    finding.rule = QStringLiteral("clash/identical-copy");
                    finding.level = FindingLevel::Note;
                    finding.message = QCoreApplication::translate("SkillChecks",
                        "An identical copy of \"%2\" at %3 is read by %1 as well. Link them so they stay in sync.")
                                          .arg(toolNamesInProse(tools), self.name, other.path);
                } else {
                    finding.rule = QStringLiteral("clash/differing-copy");
                    finding.level = FindingLevel::Warning;
                    finding.message = QCoreApplication::translate("SkillChecks",
                        "A different \"%2\" at %3 is read by %1 as well, and only one of them is loaded: the copies differ. "
                        "Compare them, then keep one or rename the other.")
                                          .arg(toolNamesInProse(tools), self.name, other.path);
                }
                findings[group.at(a)].append(finding);
            }
        }
    }
    return findings;
}

ClashCandidate clashCandidate(const Skill &skill)
{
    ClashCandidate candidate = clashCandidate(skill, QByteArray());
    const RegularFileRead file = readRegularFile(candidate.path);
    if (file.status == RegularFileRead::Status::Ok)
        candidate.digest = QCryptographicHash::hash(file.bytes, QCryptographicHash::Sha256);
    return candidate;
}

ClashCandidate clashCandidate(const Skill &skill, const QByteArray &digest)
{
    return clashCandidate(skill, digest, readCustomScanPaths(), turnedOffFolder());
}

ClashCandidate clashCandidate(const Skill &skill, const QByteArray &digest, const QStringList &customRoots,
                              const QString &turnedOffFolder)
{
    ClashCandidate candidate;
    const QStringList installed = skill.installedPaths();
    candidate.path = installed.isEmpty() ? skill.filePath() : installed.first();
    // Only skill folders' main files carry a name the tools list; rule and instruction
    // files are read whole wherever they are, so two with one heading shadow nothing.
    // Asked of every record at once after a scan: plain string work and the
    // record's own tool mask, nothing decoded or looked up on disk.
    const QStringView fileName = QStringView(candidate.path).sliced(candidate.path.lastIndexOf(u'/') + 1);
    if (fileName.compare(QLatin1String("SKILL.md"), Qt::CaseInsensitive) == 0)
        candidate.name = skill.name();
    if (!skill.isGlobal())
        candidate.project = skill.projectName(customRoots, turnedOffFolder).value_or(QStringLiteral("?"));
    for (ToolSource tool : Tools::allCases()) {
        if (skill.hasToolSource(tool))
            candidate.tools |= ToolSet{tool};
    }
    candidate.digest = digest;
    return candidate;
}
