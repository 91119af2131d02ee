#pragma once

#include "library/files/safemove.h"
#include "library/sources/skillsource.h"

#include <QList>
#include <QString>

// Getting a source's skills onto the disk: a shallow clone into Vesk's cache, made
// under a hidden name and renamed into place only once git has finished, so an
// interrupted clone leaves nothing that looks like a finished one; then the
// skills in it, found without following a link out of it.

struct SourceOptions {
    int cloneTimeoutMs = 300000; // a clone, over a slow link
    int remoteTimeoutMs = 60000; // one ls-remote
    // Asked before each step ("cloned", "installed"); false stops right there, as
    // if the process had been killed.
    StepGate gate;
};

// Vesk's cache of sources: the clones, and the pristine copy of each installed skill.
QString sourcesCacheFolder();

struct FetchedSource {
    QString root;   // where the skills are: the finished clone, or the local folder
    QString commit; // the commit cloned; empty for a local folder
    QString error;  // why there is nothing, in words for the user
};

// Clones `source` at `ref` (the default branch when empty), or takes a local folder as it is.
FetchedSource fetchSource(const SkillSource &source, const QString &ref, const SourceOptions &options = {});

// The commit `ref` (HEAD when empty) points at in the repository at `url`, or the
// reason there is none in `error`.
QString remoteCommit(const QString &url, const QString &ref, int timeoutMs, QString *error);

struct FoundSkill {
    QString name;        // the name it installs under
    QString folder;      // its folder, absolute
    QString relative;    // its folder relative to the source's root ("" for the root itself)
    QString description;
    QString problem;     // why it cannot be installed; empty when it can
};

// The skills under `root`: every folder holding a SKILL.md, nested folders of a
// skill not searched further, ".git" and "node_modules" skipped, links not followed.
// `rootName` names a skill that is the root itself.
QList<FoundSkill> findSkills(const QString &root, const QString &rootName);

// The skill at `relative` under `root`, if `relative` stays inside `root` and holds a SKILL.md.
std::optional<FoundSkill> skillAt(const QString &root, const QString &relative, const QString &name);

// The name the last part of a source gives a skill found at its root.
QString rootSkillName(const SkillSource &source);
