#pragma once

#include <QString>

#include <optional>

// Where skills are added from, as the user wrote it: `owner/repo` on GitHub, a
// git URL (https, ssh, git, file, or scp-like user@host:path) or a local folder.

struct SkillSource {
    enum class Kind { GitHub, Git, Local };
    Kind kind = Kind::Git;
    QString source;     // as recorded: owner/repo, the URL, or the folder's absolute path
    QString sourceType; // "github", "git" or "local"
    QString url;        // what git clones; empty for a local folder
};

// Reads what the user wrote. An existing folder (relative to `workingDirectory`)
// is a local source; anything else must look like a repository. No value, with
// the reason in `error`, for what is neither.
std::optional<SkillSource> parseSkillSource(const QString &text, const QString &workingDirectory,
                                            QString *error = nullptr);

// The source a lock entry names, read back the same way.
std::optional<SkillSource> sourceOfEntry(const QString &source, const QString &sourceType, const QString &sourceUrl);

// Whether `ref` can be handed to git as a branch or tag name.
bool isSafeRef(const QString &ref);
