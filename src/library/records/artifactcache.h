#pragma once

#include "library/records/skillartifact.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>

// Remembers the artifact listing of each skill file so the detail view does not walk
// the skill folder again every time a skill is selected. In memory only; safe to use
// from the scanner threads and the GUI thread at once.
class ArtifactCache final
{
public:
    // A copy of the stored listing; empty if nothing was stored for this skill file.
    QList<SkillArtifact> artifacts(const QString &skillFilePath) const;
    // Replaces whatever was stored for this skill file.
    void setArtifacts(const QList<SkillArtifact> &list, const QString &skillFilePath);
    // Room for the listings of `skillFiles` files, made while few are kept (a
    // large scan starting): growing one doubling at a time rehashes the table
    // whole each time, within one of the window's slices.
    void expect(qsizetype skillFiles);

private:
    // A large library keeps tens of thousands of artifacts here. A listing whose
    // artifacts all follow from their relative paths (as every walk's do) keeps
    // only those paths and ids, and is spelt out again when asked for; any other
    // listing is kept whole.
    struct Compact {
        QUuid id;
        QString relativePath;
    };
    struct Listing {
        QList<Compact> compact;
        QList<SkillArtifact> whole;
    };
    mutable QMutex m_mutex;
    QHash<QString, Listing> m_cache;
};
