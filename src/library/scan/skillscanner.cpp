#include "library/scan/skillscanner.h"

#include "library/records/artifactcache.h"
#include "library/disk/fileproblems.h"
#include "library/records/frontmatter.h"
#include "library/store/keptmarks.h"
#include "library/store/modelcontext.h"
#include "library/disk/regularfile.h"
#include "library/catalogue/settingskeys.h"
#include "library/records/skill.h"
#include "library/records/skillcollection.h"
#include "library/records/skillartifact.h"
#include "library/catalogue/turnedoff.h"

#include <QCoreApplication>
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
QStringList scannedRootsWith(const QStringList &customRoots)
{
    QStringList roots;
    const QString home = QDir::homePath();
    for (const SkillLocation &location : SkillLocations::table()) {
        if (location.base == LocationBase::Home)
            roots.append(home + QLatin1Char('/') + location.path);
    }
    roots.append(customRoots);
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

// The project folder of a file found inside a custom scan directory (the root's
// child it lies in), or empty for a file found elsewhere.
QString projectFolderOf(const QString &filePath, const QStringList &customRoots)
{
    const QString cleaned = QDir::cleanPath(filePath);
    for (const QString &root : customRoots) {
        const QString base = QDir::cleanPath(root);
        if (base.isEmpty() || !cleaned.startsWith(base + QLatin1Char('/')))
            continue;
        const qsizetype start = base.size() + 1;
        const qsizetype end = cleaned.indexOf(QLatin1Char('/'), start);
        if (end > start)
            return cleaned.left(end);
    }
    return {};
}

} // namespace

bool linkLeavesProject(const QString &filePath, const QString &resolvedPath, const QStringList &customRoots)
{
    const QString project = projectFolderOf(filePath, customRoots);
    if (project.isEmpty())
        return false;
    // A file whose path is its resolved path was found with no link on the way:
    // every folder its path names is real, the project's too. Resolving both
    // again cost a `readlink` per folder of each, tens of thousands a scan.
    if (resolvedPath == filePath && filePath.startsWith(project + QLatin1Char('/')))
        return false;
    const QString inside = QFileInfo(project).canonicalFilePath();
    const QString target = QFileInfo(resolvedPath).canonicalFilePath();
    if (inside.isEmpty() || target.isEmpty())
        return false; // nothing there to read either way
    return !(target == inside || target.startsWith(inside + QLatin1Char('/')));
}

QString linkLeavesProjectReason()
{
    return QCoreApplication::translate("FileProblems", "Links outside the project; not read.");
}

SkillScanner::SkillScanner(ModelContext &context, ArtifactCache &artifacts)
    : m_context(context)
    , m_artifacts(artifacts)
{
}

SkillScanner::~SkillScanner() = default;

QStringList SkillScanner::customRoots() const
{
    return m_pinnedRoots ? *m_pinnedRoots : readCustomScanPaths();
}

QStringList SkillScanner::scannedRoots() const
{
    return scannedRootsWith(customRoots());
}

void SkillScanner::scanAll()
{
    if (m_problems)
        m_problems->clearAll();
    for (const PlacedLocation &location : SkillLocations::existingLocations(LocationBase::Home, QDir::homePath()))
        scanLocation(location, true);
    for (const QString &root : customRoots())
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
                                                   std::optional<KnownAttributes> attributes, QString *problem,
                                                   const QStringList *customRoots)
{
    const QFileInfo file(filePath);
    // A file that vanished between listing and here has no canonical path; keying
    // it by its own path keeps the lookup and the stored identity in agreement.
    if (resolvedPath.isEmpty())
        resolvedPath = file.canonicalFilePath();
    if (resolvedPath.isEmpty())
        resolvedPath = filePath;

    // A cloned project is someone else's: a link in it to ~/.ssh or /etc would
    // copy the target into the library and onto the card. Home locations keep
    // following links, which people put there on purpose.
    if (!isGlobal && linkLeavesProject(filePath, resolvedPath, customRoots ? *customRoots : readCustomScanPaths())) {
        if (problem)
            *problem = linkLeavesProjectReason();
        return std::nullopt;
    }

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
    result.frontmatterData = SkillEncoding::encodeFrontmatter(result.parsed.frontmatter);
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
        skill->setFrontmatterData(read.frontmatterData);
        skill->setHasFrontmatterYamlError(parsed.yamlError.has_value());
        skill->setFileModifiedDate(read.modified);
        skill->setFileSize(read.size);
        const QStringList paths = skill->installedPaths();
        if (!paths.contains(read.filePath)) {
            skill->setInstalledPaths(paths + QStringList{read.filePath});
            takeOverPath(read.filePath, *skill);
        }
        refreshHarnesses(*skill);
        return skill;
    }
    // Every row is read by some harness; Custom only stands in for a file
    // reached outside the table (a caller driving recordSkill by hand).
    const QList<ToolSource> readers = readersOf({read.filePath}).toList();
    auto record = std::make_unique<Skill>(read.filePath, read.resolvedPath, read.name, parsed.description,
                                         parsed.content, read.frontmatterData,
                                         readers.value(0, ToolSource::Custom), read.isDirectory,
                                         read.isGlobal, read.modified, read.size);
    if (!readers.isEmpty())
        record->setToolSources(readers);
    record->setHasFrontmatterYamlError(parsed.yamlError.has_value());
    m_recordedSincePrune.append(read.resolvedPath);
    Skill *inserted = m_context.insert(std::move(record));
    if (inserted) {
        keptMarks().giveBack(*inserted, m_context);
        takeOverPath(read.filePath, *inserted);
    }
    return inserted;
}

void SkillScanner::takeOverPath(const QString &filePath, Skill &owner)
{
    // A link pointed elsewhere (ln -sfn v2 deploy) now leads to another file: the
    // path leaves the record of the file it used to lead to, and a record left
    // with no path at all is that skill's earlier version, whose marks go along.
    // The records holding the path: those reached there besides their own path,
    // which the context keeps, and the record whose own path it is. Two lookups,
    // not a walk over every record.
    QList<Skill *> holders;
    for (Skill *skill : m_context.skillsAlsoInstalledAt(filePath)) {
        if (skill != &owner)
            holders.append(skill);
    }
    Skill *atPath = m_context.skillWithResolvedPath(filePath);
    if (atPath && atPath != &owner && atPath->installedPaths().contains(filePath))
        holders.append(atPath);
    for (Skill *previous : std::as_const(holders)) {
        QStringList remaining = previous->installedPaths();
        remaining.removeAll(filePath);
        if (!remaining.isEmpty()) {
            previous->setInstalledPaths(remaining);
            if (previous->filePath() == filePath)
                previous->setFilePath(remaining.constFirst());
            refreshHarnesses(*previous);
            continue;
        }
        handMarks(*previous, owner);
        m_context.noteMoved(previous, &owner);
        m_context.remove(previous);
    }
}

void SkillScanner::handMarks(const Skill &from, Skill &to)
{
    if (from.isFavorite())
        to.setIsFavorite(true);
    if (!to.lastOpened().isValid())
        to.setLastOpened(from.lastOpened());
    for (SkillCollection *collection : from.collections()) {
        if (!collection->contains(&to))
            collection->addSkill(&to);
    }
}

bool SkillScanner::applyUnchanged(const QString &filePath, const QString &resolvedPath)
{
    Skill *skill = m_context.skillWithResolvedPath(resolvedPath);
    if (!skill)
        return false;
    const QStringList paths = skill->installedPaths();
    if (!paths.contains(filePath)) {
        skill->setInstalledPaths(paths + QStringList{filePath});
        takeOverPath(filePath, *skill);
    }
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
                handMarks(*skill, *successor);
                m_context.noteMoved(skill, successor);
            } else if (std::any_of(skill->installedPaths().cbegin(), skill->installedPaths().cend(),
                                   [&roots, &exists](const QString &path) { return !liesUnder(path, roots) && exists(path); })) {
                // Still there, only no longer looked at: the marks wait for the folder to come back.
                keptMarks().keep(*skill);
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

KeptMarks &SkillScanner::keptMarks()
{
    if (!m_keptMarks)
        m_keptMarks = std::make_unique<KeptMarks>(m_context);
    return *m_keptMarks;
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
    const QStringList paths = skill.installedPaths();
    if (paths.size() == 1) {
        // The common case, answered from what the path is known to be.
        const PathFacts &facts = factsOf(paths.constFirst());
        if (facts.readers.isEmpty())
            return;
        skill.setToolSourcesRaw(facts.encodedReaders);
        skill.setIsGlobal(facts.isHome);
        return;
    }
    const ToolSet readers = readersOf(paths);
    if (readers.isEmpty())
        return;
    skill.setToolSources(readers.toList());
    // Global while a home copy is installed; a project skill once only project
    // copies are left (and its project then follows the file that stays).
    skill.setIsGlobal(std::any_of(paths.cbegin(), paths.cend(),
                                  [this](const QString &path) { return factsOf(path).isHome; }));
}

ToolSet SkillScanner::readersOf(const QStringList &paths) const
{
    ToolSet readers;
    for (const QString &path : paths)
        readers |= factsOf(path).readers;
    return readers;
}

const SkillScanner::PathFacts &SkillScanner::factsOf(const QString &path) const
{
    // Which tools read a path depends on the path, the home folder and the custom
    // scan directories; while a scan has them pinned, they are not asked again.
    const QString home = m_pinnedRoots ? m_pinnedHome : QDir::homePath();
    if (!m_pinnedRoots || !m_readersPinned) {
        const QStringList roots = customRoots();
        if (home != m_readersHome || roots != m_readersRoots) {
            m_readersByPath.clear();
            m_readersHome = home;
            m_readersRoots = roots;
        }
        m_readersPinned = m_pinnedRoots.has_value();
    }
    auto found = m_readersByPath.constFind(path);
    if (found == m_readersByPath.cend()) {
        PathFacts facts;
        facts.readers = SkillLocations::readersOf({path}, home, m_readersRoots);
        facts.encodedReaders = SkillEncoding::encodeToolSources(facts.readers.toList());
        facts.isHome = SkillLocations::isHomePath(path, home);
        found = m_readersByPath.insert(path, facts);
    }
    return *found;
}
