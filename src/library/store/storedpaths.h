#pragma once

#include <QStringList>

#include <optional>

// The folders that hold a record's file or the file it resolves to, each once, as
// the store has them: read on a connection of the caller's own, so a worker
// learns where the records live without touching them, and the window's thread
// is spared a walk over every record. Nothing when the store cannot be read.
std::optional<QStringList> readStoredSkillFolders(const QString &databasePath);
