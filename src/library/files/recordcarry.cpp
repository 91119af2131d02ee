#include "library/files/recordcarry.h"

#include "library/catalogue/skilllocations.h"
#include "library/catalogue/turnedoff.h"
#include "library/records/skill.h"
#include "library/records/skillcollection.h"
#include "library/store/modelcontext.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool liesAt(const QString &path, const QString &entry)
{
    return path == entry || (path.startsWith(entry) && path.at(entry.size()) == u'/');
}

} // namespace

void carryMarks(const Skill &from, Skill &to)
{
    if (from.isFavorite())
        to.setIsFavorite(true);
    if (from.lastOpened().isValid() && (!to.lastOpened().isValid() || from.lastOpened() > to.lastOpened()))
        to.setLastOpened(from.lastOpened());
    for (SkillCollection *collection : from.collections()) {
        if (!collection->contains(&to))
            collection->addSkill(&to);
    }
}

void carryRecords(ModelContext &context, const QString &oldEntry, const QString &newEntry)
{
    const QString from = QDir::cleanPath(oldEntry);
    const QString to = QDir::cleanPath(newEntry);
    const auto map = [&from, &to](const QString &path) {
        return liesAt(path, from) ? to + path.mid(from.size()) : path;
    };
    for (Skill *skill : context.skillsInAnyOrder()) {
        if (!liesAt(skill->resolvedPath(), from))
            continue;
        QString resolved = map(skill->resolvedPath());
        const QString canonical = QFileInfo(resolved).canonicalFilePath();
        if (!canonical.isEmpty())
            resolved = canonical;
        QStringList installed;
        for (const QString &path : skill->installedPaths()) {
            const QString moved = map(path);
            // A link found elsewhere stays only while it still leads to the file.
            if (moved != path && !installed.contains(moved))
                installed.append(moved);
            else if (moved == path && QFileInfo(path).canonicalFilePath() == resolved && !installed.contains(path))
                installed.append(path);
        }
        if (installed.isEmpty())
            installed.append(resolved);
        QString filePath = map(skill->filePath());
        if (!installed.contains(filePath))
            filePath = installed.constFirst();

        if (Skill *there = context.skillWithResolvedPath(resolved); there && there != skill) {
            carryMarks(*skill, *there);
            context.remove(skill);
            continue;
        }
        skill->setResolvedPath(resolved);
        skill->setFilePath(filePath);
        skill->setInstalledPaths(installed);
        if (!isTurnedOffPath(resolved))
            skill->setIsGlobal(!SkillLocations::projectFolderOf(filePath, QDir::homePath()).has_value());
        const ToolSet readers = SkillLocations::readersOf(installed, QDir::homePath());
        if (!readers.isEmpty())
            skill->setToolSources(readers.toList());
    }
    context.save();
}
