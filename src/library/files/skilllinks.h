#pragma once

#include <QList>
#include <QString>

class Skill;

// The symbolic links that place one skill folder in other tools' folders, found
// where Vesk looks (each tool's folder at home and in the skill's project, and
// wherever the skill was found), so a rename or a move can keep them working.

struct SkillLink {
    QString path; // the link itself
};

// The links that lead to `entry`.
QList<SkillLink> linksTo(const QString &entry, const Skill &skill);

// Makes `path` a symbolic link holding `text`. Refuses when `path` exists.
bool makeLink(const QString &text, const QString &path, QString *error);
// What the link at `path` holds, as written (relative or not).
QString readLinkText(const QString &path);

// Points each link at `newEntry`, relative as before. A link named like the
// skill (`oldName`) takes the new name; one named otherwise keeps its own. The
// new link is made before the old one goes. Returns the links it could not move.
QStringList retargetLinks(const QList<SkillLink> &links, const QString &newEntry, const QString &newName,
                          const QString &oldName);
