#include "library/skillscanner.h"

#include "library/artifactcache.h"
#include "library/fileproblems.h"
#include "library/frontmatter.h"
#include "library/modelcontext.h"
#include "library/regularfile.h"
#include "library/settingskeys.h"
#include "library/skill.h"
#include "library/skillcollection.h"
#include "library/skillartifact.h"

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
    m_recordedThisScan.clear();
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

void SkillScanner::recordSkill(const QString &filePath, SkillReading reading, bool isDirectory,
                               bool isGlobal)
{
    const QFileInfo file(filePath);
    // A file that vanished between listing and here has no canonical path; keying
    // it by its own path keeps the lookup and the stored identity in agreement.
    QString resolved = file.canonicalFilePath();
    if (resolved.isEmpty())
        resolved = filePath;

    const SkillFileRead read = readSkillFileOrProblem(filePath, reading);
    if (!read.skill) {
        if (!read.problem.isEmpty())
            report(filePath, read.problem);
        return;
    }
    const std::optional<ParsedSkill> &parsed = read.skill;
    if (m_problems)
        m_problems->clear(filePath);

    const QFileInfo attributes(resolved);
    QDateTime modified = attributes.exists() ? attributes.lastModified().toUTC() : QDateTime();
    if (!modified.isValid())
        modified = QDateTime::currentDateTimeUtc();
    const qint64 size = attributes.exists() ? attributes.size() : 0;

    QString name = parsed->name;
    if (name.isEmpty())
        name = isDirectory ? file.dir().dirName() : file.completeBaseName();

    if (Skill *skill = m_context.skillWithResolvedPath(resolved)) {
        skill->setContent(parsed->content);
        skill->setName(name);
        skill->setSkillDescription(parsed->description);
        skill->setFrontmatter(parsed->frontmatter);
        skill->setFileModifiedDate(modified);
        skill->setFileSize(size);
        const QStringList paths = skill->installedPaths();
        if (!paths.contains(filePath))
            skill->setInstalledPaths(paths + QStringList{filePath});
        refreshHarnesses(*skill);
    } else {
        // Every row is read by some harness; Custom only stands in for a file
        // reached outside the table (a caller driving recordSkill by hand).
        const QList<ToolSource> readers = SkillLocations::readersOf({filePath}, QDir::homePath()).toList();
        auto record = std::make_unique<Skill>(filePath, resolved, name, parsed->description,
                                              parsed->content, parsed->frontmatter,
                                              readers.value(0, ToolSource::Custom), isDirectory,
                                              isGlobal, modified, size);
        if (!readers.isEmpty())
            record->setToolSources(readers);
        m_context.insert(std::move(record));
        m_recordedThisScan.append(resolved);
    }

    if (isDirectory) {
        QStringList undecodable;
        m_artifacts.setArtifacts(listArtifacts(filePath, &undecodable), filePath);
        for (const QString &path : std::as_const(undecodable))
            report(path, undecodableNameReason());
    }

    m_context.save(); // a failed save leaves the change pending for the next one
}

void SkillScanner::removeMissing()
{
    // A path under a custom directory the user has since removed is as gone as a
    // deleted file: no scan would find it again, so keeping it would show a skill
    // that Vesk no longer looks after. A path the system cannot reach just now (no
    // permission, a mount that does not answer) is not gone: dropping its record
    // would drop the user's favorite and collections with it.
    const QStringList roots = scannedRoots();
    const QList<Skill *> skills = m_context.skills();
    for (Skill *skill : skills) {
        QStringList existing;
        for (const QString &path : skill->installedPaths()) {
            if (liesUnder(path, roots) && !isGone(path))
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
        if (isGone(skill->filePath()))
            skill->setFilePath(existing.constFirst());
        refreshHarnesses(*skill);
    }
    m_recordedThisScan.clear();
    m_context.save();
}

Skill *SkillScanner::successorOf(const Skill &gone) const
{
    for (const QString &path : m_recordedThisScan) {
        Skill *candidate = m_context.skillWithResolvedPath(path);
        if (candidate && candidate != &gone && candidate->content() == gone.content()
            && candidate->frontmatter() == gone.frontmatter())
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
    const ToolSet readers = SkillLocations::readersOf(skill.installedPaths(), QDir::homePath());
    if (!readers.isEmpty())
        skill.setToolSources(readers.toList());
}
