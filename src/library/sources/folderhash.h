#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The two fingerprints installers record for a skill folder, computed from the
// files on disk without following a link out of the folder.
//
// contentHash: SHA-256, lower-case hex, over the regular files of the folder in
// order of their relative paths ("/" separators, compared code unit by code
// unit), feeding each path (UTF-8) and then the file's bytes. Folders named
// ".git" and "node_modules" are left out at any depth, and so are links.
//
// gitTreeId: the id git gives the folder as a tree (SHA-1, lower-case hex): what
// `git write-tree` would record for it, links stored as links, the executable bit
// kept, empty folders left out, ".git" left out.

// The most a hash reads before it gives up: a skill is a few files, and a folder
// larger than this is not one.
inline constexpr qint64 maxHashedBytes = 64 * 1024 * 1024;
inline constexpr int maxHashedFiles = 5000;

std::optional<QString> contentHash(const QString &folder, QString *error = nullptr);
std::optional<QString> gitTreeId(const QString &folder, QString *error = nullptr);
