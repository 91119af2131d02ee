#pragma once

#include "library/catalogue/toolsource.h"
#include "library/checks/finding.h"

#include <QByteArray>
#include <QList>
#include <QString>

class Skill;

// One skill file as the tools see it, for finding names two files share.
struct ClashCandidate {
    QString path;      // where it is installed (the first of its installed paths)
    QString name;
    ToolSet tools;     // the tools that read it
    QByteArray digest; // of its bytes; equal digests are identical copies
    // The project it belongs to; empty for the home folder's, which every project sees.
    // Two projects' skills are never loaded together.
    QString project;
};

// For every tool, two files it reads under one name shadow each other. Each such
// pair gives a finding on both files (at the same index as the input) naming the
// other; identical copies are a note (link them), differing ones a warning. The
// finding's `path` is the other file.
QList<QList<Finding>> findClashes(const QList<ClashCandidate> &candidates);

// The tools' names as a sentence lists them: "Claude Code, Cursor and Copilot".
QString toolNamesInProse(ToolSet tools);

// The candidate for a record (only SKILL.md files, by their nature, can clash); the digest is of the file's bytes as they are now
// (empty when it cannot be read: such files are never called identical).
ClashCandidate clashCandidate(const Skill &skill);
// The same with the digest already known (from a CheckCache, say): nothing is read.
ClashCandidate clashCandidate(const Skill &skill, const QByteArray &digest);
// The same again with the custom scan folders and the turned-off folder given: for
// a caller going over the whole library, which would otherwise read the settings
// and look the folder up once per record.
ClashCandidate clashCandidate(const Skill &skill, const QByteArray &digest, const QStringList &customRoots,
                              const QString &turnedOffFolder);
