#pragma once

#include "library/sources/sourcefetch.h"

#include <QList>
#include <QString>
#include <QStringList>

// Updates that never lose a local edit. A check asks each repository once for
// the commit its branch points at now; an update fetches it and replaces each
// skill that was not edited since it was installed. An edited one is left alone
// unless the user takes theirs (the edited folder goes to the trash) or merges
// (a three-way merge of each text file with `git merge-file`: the installed
// contents are the base, conflicts are left marked in the file).

struct SkillSourceStatus {
    enum class State {
        UpToDate,   // the source's branch is where it was when installed
        Outdated,   // it moved on
        Unknown,    // installed by another tool: the commit it came from is not known
        Local,      // from a local folder, which has no commits to compare
        Failed,     // the repository could not be asked
    };
    QString name;
    QString project;         // empty: the home folder
    QString source;
    QString ref;
    QString installedCommit; // empty when unknown
    QString latestCommit;
    State state = State::Unknown;
    QString error;
};

// Each skill the lock files of these scopes (empty string: the home folder) name,
// with one `git ls-remote` per repository and ref.
QList<SkillSourceStatus> checkForUpdates(const QStringList &scopes, const SourceOptions &options = {});
QString stateKey(SkillSourceStatus::State state);
// The scopes a check looks at: the home folder (an empty string), then each of
// `projects` that has a lock file of its own, once each, in the order given.
QStringList scopesWithLocks(const QStringList &projects);

enum class EditPolicy { Refuse, Theirs, Merge };

struct SkillUpdate {
    enum class State { Updated, UpToDate, Edited, Merged, Conflicts, Failed };
    QString name;
    State state = State::Failed;
    QStringList editedFiles;   // Edited: what the user changed since the install
    QStringList conflictFiles; // Conflicts: files left with conflict marks, or kept as the user's
    QString error;
};

// Updates the named skills of a scope's lock file (none named: all of them).
QList<SkillUpdate> updateSkills(const QString &project, const QStringList &names, EditPolicy policy,
                                const SourceOptions &options = {});

// What an update of one skill would meet, for a window to show before it is
// done: the three versions of the folder (as installed, as it is now, upstream's
// in the fetched clone) and whether the user edited it.
struct UpdatePreview {
    QString name;
    QString installed; // the pristine copy; empty when Vesk kept none
    QString current;   // the skill's folder
    QString upstream;  // upstream's folder, in Vesk's cache
    bool edited = false;
    bool changedUpstream = false;
    QStringList editedFiles;
    QString error;     // why there is nothing to show
};
UpdatePreview previewUpdate(const QString &project, const QString &name, const SourceOptions &options = {});

// Merges three versions of a skill folder into `out` (which must not exist):
// `base` as installed, `mine` as it is now, `theirs` upstream. The files left
// with conflicts, or kept as the user's because they cannot be merged, go to `conflicts`.
bool mergeSkillFolders(const QString &base, const QString &mine, const QString &theirs, const QString &out,
                       QStringList *conflicts, QString *error);
