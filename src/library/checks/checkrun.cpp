#include "library/checks/checkrun.h"

#include "library/catalogue/settingskeys.h"
#include "library/catalogue/turnedoff.h"
#include "library/checks/checkcache.h"
#include "library/checks/clashes.h"
#include "library/checks/skillchecker.h"
#include "library/records/skill.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace {

// Bounds on a folder search, against link loops and huge trees.
constexpr int maxDepth = 8;
constexpr int maxFiles = 20000;

bool isCheckedFile(const QString &fileName)
{
    return fileName.compare(QLatin1String("SKILL.md"), Qt::CaseInsensitive) == 0
        || fileName.endsWith(QLatin1String(".mdc"), Qt::CaseInsensitive);
}

void collect(const QString &folder, int depth, QSet<QString> &visited, QStringList &files)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (depth > maxDepth || files.size() >= maxFiles || canonical.isEmpty() || visited.contains(canonical))
        return;
    visited.insert(canonical);
    const QDir dir(folder);
    const QFileInfoList entries = dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (entry.isDir()) {
            if (entry.fileName() != QLatin1String(".git") && entry.fileName() != QLatin1String("node_modules"))
                collect(entry.filePath(), depth + 1, visited, files);
        } else if (entry.isFile() && isCheckedFile(entry.fileName()) && files.size() < maxFiles) {
            files.append(entry.filePath());
        }
    }
}

} // namespace

QList<CheckedFile> checkCandidates(QList<ClashCandidate> candidates, CheckCache &cache,
                                   const std::atomic<bool> *stop, const CandidateFilter &mayHaveChanged)
{
    QList<CheckedFile> checked;
    checked.reserve(candidates.size());
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        if (stop && stop->load(std::memory_order_relaxed))
            return {};
        ClashCandidate &candidate = candidates[i];
        const CheckCache::Entry &entry = !mayHaveChanged || mayHaveChanged(candidate, i) ? cache.entryFor(candidate.path)
                                                                              : cache.keptEntryFor(candidate.path);
        checked.append({candidate.path, entry.findings});
        candidate.digest = entry.digest;
    }
    const QList<QList<Finding>> clashes = findClashes(candidates);
    for (qsizetype i = 0; i < checked.size(); ++i) {
        CheckedFile &file = checked[i];
        file.findings += clashes.at(i);
        sortFindings(file.findings);
    }
    return checked;
}

QList<CheckedFile> checkRecords(const QList<Skill *> &skills, CheckCache *cache)
{
    QList<ClashCandidate> candidates;
    QList<CheckedFile> checked;
    candidates.reserve(skills.size());
    checked.reserve(skills.size());
    const QStringList customRoots = readCustomScanPaths();
    const QString turnedOff = turnedOffFolder();
    for (const Skill *skill : skills) {
        // Checked where a tool finds it, so the folder's name is the one the tool sees.
        const QStringList installed = skill->installedPaths();
        const QString path = installed.isEmpty() ? skill->filePath() : installed.first();
        if (cache) {
            const CheckCache::Entry &entry = cache->entryFor(path);
            checked.append({path, entry.findings});
            candidates.append(clashCandidate(*skill, entry.digest, customRoots, turnedOff));
        } else {
            QByteArray digest;
            checked.append({path, checkSkillFile(path, &digest)});
            candidates.append(clashCandidate(*skill, digest, customRoots, turnedOff));
        }
    }
    const QList<QList<Finding>> clashes = findClashes(candidates);
    for (qsizetype i = 0; i < skills.size(); ++i) {
        CheckedFile &file = checked[i];
        file.findings += clashes.at(i);
        sortFindings(file.findings);
    }
    return checked;
}

QList<Finding> checkRecord(const Skill &skill, const QList<Skill *> &library)
{
    QList<ClashCandidate> candidates{clashCandidate(skill)};
    for (const Skill *other : library) {
        if (other != &skill && !skill.name().isEmpty() && other->name() == skill.name())
            candidates.append(clashCandidate(*other));
    }
    QList<Finding> findings = checkSkillFile(candidates.first().path);
    findings += findClashes(candidates).first();
    sortFindings(findings);
    return findings;
}

QList<CheckedFile> checkPaths(const QStringList &paths, QStringList *missing)
{
    QList<CheckedFile> checked;
    QSet<QString> seen;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        QStringList files;
        if (info.isFile()) {
            files.append(path);
        } else if (info.isDir()) {
            const QString main = QDir(path).filePath(QStringLiteral("SKILL.md"));
            if (QFileInfo(main).isFile()) {
                files.append(main);
            } else {
                QSet<QString> visited;
                collect(path, 0, visited, files);
            }
        } else if (missing) {
            missing->append(path);
        }
        for (const QString &file : std::as_const(files)) {
            const QString key = QFileInfo(file).absoluteFilePath();
            if (seen.contains(key))
                continue;
            seen.insert(key);
            checked.append({QDir::cleanPath(file), checkSkillFile(file)});
        }
    }
    return checked;
}
