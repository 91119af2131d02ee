#include "library/scan/skillscanner.h"

#include "library/records/artifactcache.h"
#include "library/disk/fileproblems.h"
#include "library/records/frontmatter.h"
#include "library/store/modelcontext.h"
#include "library/disk/regularfile.h"
#include "library/catalogue/settingskeys.h"
#include "library/records/skill.h"
#include "library/records/skillcollection.h"
#include "library/records/skillartifact.h"
#include "library/catalogue/turnedoff.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

// Entries directly inside `directory`, hidden ones left out, in name order so
// that repeated scans visit projects the same way. Empty when it cannot be listed.
QFileInfoList visibleEntries(const QString &directory)
{
    return QDir(directory).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot,
                                         QDir::Name);
}

// Every place a full scan starts from: each home row of the location table and
// each custom scan directory, cleaned, since a hand-edited setting may spell a
// directory differently from the paths found in it.
QStringList scannedRoots()
{
    QStringList roots;
    const QString home = QDir::homePath();
    for (const SkillLocation &location : SkillLocations::table()) {
        if (location.base == LocationBase::Home)
            roots.append(home + QLatin1Char('/') + location.path);
    }
    roots.append(readCustomScanPaths());
    // A turned-off skill is not gone: its record keeps its marks until Turn On.
    roots.append(turnedOffFolder());
    roots.removeAll(QString());
    for (QString &root : roots)
        root = QDir::cleanPath(root);
    return roots;
}

bool liesUnder(const QString &path, const QStringList &roots)
{
    const QString cleaned = QDir::cleanPath(path);
    return std::any_of(roots.cbegin(), roots.cend(), [&cleaned](const QString &root) {
        return cleaned == root
            || (cleaned.startsWith(root)
                && (root.endsWith(QLatin1Char('/')) || cleaned.at(root.size()) == QLatin1Char('/')));
    });
}

} // namespace

SkillScanner::SkillScanner(ModelContext &context, ArtifactCache &artifacts)
    : m_context(context)
    , m_artifacts(artifacts)
{
}

void SkillScanner::scanAll()
{
    if (m_problems)
        m_problems->clearAll();
    for (const PlacedLocation &location : SkillLocations::existingLocations(LocationBase::Home, QDir::homePath()))
        scanLocation(location, true);
    for (const QString &root : readCustomScanPaths())
        scanProjects(root);

    // Records this scan did not reach keep up with the table too, so a change of
    // which tools read a folder shows on every stored skill.
    for (Skill *skill : m_context.skills())
        refreshHarnesses(*skill);
    m_context.save();
}

void SkillScanner::scanProjects(const QString &root)
{
    // The root holds projects; only its children are searched, never the root itself.
    for (const QString &path : undecodableEntries(root))
        report(path, undecodableNameReason());
    for (const QFileInfo &project : visibleEntries(root)) {
        if (!project.isDir())
            continue;
        for (const PlacedLocation &location : SkillLocations::existingLocations(LocationBase::Project, project.filePath()))
            scanLocation(location, false);
    }
}

void SkillScanner::scanLocation(const PlacedLocation &location, bool isGlobal)
{
    const SkillReading reading = SkillLocations::readingOf(location.location->holds);
    for (const LocatedFile &file : SkillLocations::filesIn(location)) {
        if (file.undecodableName)
            report(file.path, undecodableNameReason());
        else
            recordSkill(file.path, reading, file.isDirectory, isGlobal);
    }
}

std::optional<SkillFileReading> readSkillForRecord(const QString &filePath, QString resolvedPath,
                                                   SkillReading reading, bool isDirectory, bool isGlobal,
                                                   std::optional<KnownAttributes> attributes, QString *problem)
{
    const QFileInfo file(filePath);
    // A file that vanished between listing and here has no canonical path; keying
    // it by its own path keeps the lookup and the stored identity in agreement.
    if (resolvedPath.isEmpty())
        resolvedPath = file.canonicalFilePath();
    if (resolvedPath.isEmpty())
        resolvedPath = filePath;

    SkillFileRead read = readSkillFileOrProblem(filePath, reading);
    if (!read.skill) {
        if (problem)
            *problem = read.problem;
        return std::nullopt;
    }
    std::optional<ParsedSkill> &parsed = read.skill;

    SkillFileReading result;
    if (attributes) {
        result.modified = QDateTime::fromMSecsSinceEpoch(attributes->modifiedMs, Qt::UTC);
        result.size = attributes->size;
    } else {
        const QFileInfo stat(resolvedPath);
        result.modified = stat.exists() ? stat.lastModified().toUTC() : QDateTime();
        result.size = stat.exists() ? stat.size() : 0;
    }
    if (!result.modified.isValid())
        result.modified = QDateTime::currentDateTimeUtc();

    result.name = parsed->name;
    if (result.name.isEmpty())
        result.name = isDirectory ? file.dir().dirName() : file.completeBaseName();
    result.filePath = filePath;
    result.resolvedPath = resolvedPath;
    result.isDirectory = isDirectory;
    result.isGlobal = isGlobal;
    result.parsed = std::move(*parsed);
    return result;
}

void SkillScanner::recordSkill(const QString &filePath, SkillReading reading, bool isDirectory,
                               bool isGlobal)
{
    QString problem;
    const std::optional<SkillFileReading> read =
        readSkillForRecord(filePath, QString(), reading, isDirectory, isGlobal, std::nullopt, &problem);
    if (!read) {
        if (!problem.isEmpty())
            report(filePath, problem);
        return;
    }
    applyReading(*read);
    if (isDirectory) {
        QList<FileProblem> leftOut;
        m_artifacts.setArtifacts(listArtifacts(filePath, &leftOut), filePath);
        for (const FileProblem &problem : std::as_const(leftOut))
            report(problem.path, problem.reason);
    }
    m_context.save(); // a failed save leaves the change pending for the next one
}

Skill *SkillScanner::applyReading(const SkillFileReading &read)
{
    const ParsedSkill &parsed = read.parsed;
    if (m_problems)
        m_problems->clear(read.filePath);
    if (Skill *skill = m_context.skillWithResolvedPath(read.resolvedPath)) {
        skill->setContent(parsed.content);
        skill->setName(read.name);
        skill->setSkillDescription(parsed.description);
        skill->setFrontmatter(parsed.frontmatter);
        skill->setFileModifiedDate(read.modified);
        skill->setFileSize(read.size);
        const QStringList paths = skill->installedPaths();
        if (!paths.contains(read.filePath))
            skill->setInstalledPaths(paths + QStringList{read.filePath});
        refreshHarnesses(*skill);
        return skill;
    }
    // Every row is read by some harness; Custom only stands in for a file
    // reached outside the table (a caller driving recordSkill by hand).
    const QList<ToolSource> readers = readersOf({read.filePath}).toList();
    auto record = std::make_unique<Skill>(read.filePath, read.resolvedPath, read.name, parsed.description,
                                         parsed.content, parsed.frontmatter,
                                         readers.value(0, ToolSource::Custom), read.isDirectory,
                                         read.isGlobal, read.modified, read.size);
    if (!readers.isEmpty())
        record->setToolSources(readers);
    m_recordedSincePrune.append(read.resolvedPath);
    return m_context.insert(std::move(record));
}

bool SkillScanner::applyUnchanged(const QString &filePath, const QString &resolvedPath)
{
    Skill *skill = m_context.skillWithResolvedPath(resolvedPath);
    if (!skill)
        return false;
    const QStringList paths = skill->installedPaths();
    if (!paths.contains(filePath))
        skill->setInstalledPaths(paths + QStringList{filePath});
    refreshHarnesses(*skill);
    return true;
}

void SkillScanner::removeMissing()
{
    removeMissing(m_context.skills(), [](const QString &path) { return !isGone(path); });
    endPrune();
    m_context.save();
}

void SkillScanner::removeMissing(const QList<Skill *> &skills, const std::function<bool(const QString &)> &exists)
{
    // A path under a custom directory the user has since removed is as gone as a
    // deleted file: no scan would find it again, so keeping it would show a skill
    // that Vesk no longer looks after. A path the system cannot reach just now (no
    // permission, a mount that does not answer) is not gone: dropping its record
    // would drop the user's favorite and collections with it.
    const QStringList roots = scannedRoots();
    for (Skill *skill : skills) {
        QStringList existing;
        for (const QString &path : skill->installedPaths()) {
            if (liesUnder(path, roots) && exists(path))
                existing.append(path);
        }
        if (existing.isEmpty()) {
            if (Skill *successor = successorOf(*skill)) {
                if (skill->isFavorite())
                    successor->setIsFavorite(true);
                if (!successor->lastOpened().isValid())
                    successor->setLastOpened(skill->lastOpened());
                for (SkillCollection *collection : skill->collections()) {
                    if (!collection->contains(successor))
                        collection->addSkill(successor);
                }
            }
            m_context.remove(skill);
            continue;
        }
        skill->setInstalledPaths(existing);
        if (!exists(skill->filePath()))
            skill->setFilePath(existing.constFirst());
        refreshHarnesses(*skill);
    }
}

Skill *SkillScanner::successorOf(const Skill &gone) const
{
    for (const QString &path : m_recordedSincePrune) {
        Skill *candidate = m_context.skillWithResolvedPath(path);
        // The frontmatter first: it is in memory, the bodies may have to be read.
        if (candidate && candidate != &gone && candidate->frontmatter() == gone.frontmatter()
            && candidate->content() == gone.content())
            return candidate;
    }
    return nullptr;
}

void SkillScanner::report(const QString &path, const QString &reason) const
{
    if (m_problems)
        m_problems->report(path, reason);
}

void SkillScanner::refreshHarnesses(Skill &skill) const
{
    // A record none of whose paths any row accounts for keeps what it has: there is
    // nothing to recompute it from.
    const ToolSet readers = readersOf(skill.installedPaths());
    if (!readers.isEmpty())
        skill.setToolSources(readers.toList());
}

ToolSet SkillScanner::readersOf(const QStringList &paths) const
{
    const QString home = QDir::homePath();
    if (home != m_readersHome) {
        m_readersByPath.clear();
        m_readersHome = home;
    }
    ToolSet readers;
    for (const QString &path : paths) {
        auto found = m_readersByPath.constFind(path);
        if (found == m_readersByPath.cend())
            found = m_readersByPath.insert(path, SkillLocations::readersOf({path}, home));
        readers |= *found;
    }
    return readers;
}
