#pragma once

#include "library/files/skillplaces.h"
#include "library/sources/sourcefetch.h"

#include <QList>
#include <QString>
#include <QStringList>

// Adding skills from a source: fetch it, find its skills, install the chosen ones
// the way Use In places a skill (one shared copy linked into each chosen tool's
// folder, or copies), record each in the scope's lock file in the installer's own
// format, and keep a pristine copy of what was installed.

struct AddRequest {
    QString source;               // as the user wrote it
    QString workingDirectory;     // what a relative folder is relative to
    QStringList skills;           // the names to install; empty: every skill found
    QString project;              // empty: the home folder
    QList<PlacementTool> tools;   // empty: the shared folder only
    bool copy = false;            // copies in each tool's folder instead of links
    QString ref;                  // branch or tag; empty: the default branch
};

struct AddResult {
    bool ok = false;
    QString error;              // why nothing (more) was done
    QList<FoundSkill> found;    // every skill the source holds
    QStringList installed;      // the names installed
    QStringList changes;        // what changed, one line each
    QStringList failures;       // skills that were not installed, and why
};

AddResult addSkills(const AddRequest &request, const SourceOptions &options = {});

// Installs one found skill into a scope. `installedAt` keeps a first install's
// time on a reinstall; empty: now.
bool installFoundSkill(const FoundSkill &skill, const SkillSource &source, const FetchedSource &fetched,
                       const QString &ref, const QString &project, const QList<PlacementTool> &tools, bool copy,
                       const QString &installedAt, QStringList *changes, QString *error);

// The folder a lock entry called `name` was installed to in a scope: the first
// real folder (not a link) of that name in the tools' folders, shared first.
QString installedFolderFor(const QString &name, const QString &project);

// Whether a lock file of `project` may name this source: a project's lock file,
// which arrives with the project from anywhere, may name a local folder only
// inside the project; the home folder's own lock may name any.
bool localSourceAllowed(const SkillSource &source, const QString &project);
QString localSourceRefusal();

struct RestoreResult {
    bool ok = false;            // everything listed is there now
    QString error;              // the lock file could not be read
    QStringList restored;
    QStringList failures;       // "name: why"
    QStringList changes;
};

// Installs what the scope's lock file lists and is missing.
RestoreResult restoreSkills(const QString &project, const SourceOptions &options = {});
