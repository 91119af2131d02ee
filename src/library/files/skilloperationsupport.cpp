#include "library/files/skilloperationsupport.h"

#include "library/catalogue/homepath.h"
#include "library/files/safemove.h"
#include "library/files/skillplaces.h"
#include "library/records/skill.h"

#include <QObject>

SkillOperationResult SkillOperationSupport::refused(const QString &message)
{
    SkillOperationResult result;
    result.error = message;
    return result;
}

QString SkillOperationSupport::shown(const QString &path)
{
    return abbreviateHome(path);
}

QString SkillOperationSupport::folderProblem(const Skill &skill)
{
    if (!isSkillFolder(skill))
        return QObject::tr("Only a skill folder (a folder holding SKILL.md) can be placed, moved or renamed");
    if (isTurnedOff(skill))
        return QObject::tr("The skill is turned off; turn it on first");
    if (!entryExists(skillEntry(skill)))
        return QObject::tr("“%1” is not there any more").arg(shown(skillEntry(skill)));
    return QString();
}

// Whether `tool` reads the skill through one of the paths it was found at.
