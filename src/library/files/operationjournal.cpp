#include "library/files/operationjournal.h"

#include "library/catalogue/turnedoff.h"
#include "library/files/recordcarry.h"
#include "library/files/safemove.h"
#include "library/files/skillnamefield.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUuid>

namespace {

QString journalFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/operations");
}

const char *kindKey(JournalEntry::Kind kind)
{
    switch (kind) {
    case JournalEntry::Kind::Move:
        return "move";
    case JournalEntry::Kind::Rename:
        return "rename";
    case JournalEntry::Kind::TurnOff:
        return "off";
    case JournalEntry::Kind::TurnOn:
        return "on";
    }
    return "move";
}

std::optional<JournalEntry> readJournal(const QString &file)
{
    QFile in(file);
    // A note is a few paths long; anything larger is not one of ours.
    constexpr qint64 maxNoteBytes = 64 * 1024;
    if (!in.open(QIODevice::ReadOnly) || in.size() > maxNoteBytes)
        return std::nullopt;
    const QJsonObject object = QJsonDocument::fromJson(in.readAll()).object();
    JournalEntry entry;
    const QString kind = object.value(QLatin1String("kind")).toString();
    bool known = false;
    for (JournalEntry::Kind candidate : {JournalEntry::Kind::Move, JournalEntry::Kind::Rename,
                                         JournalEntry::Kind::TurnOff, JournalEntry::Kind::TurnOn}) {
        if (kind == QLatin1String(kindKey(candidate))) {
            entry.kind = candidate;
            known = true;
        }
    }
    entry.from = object.value(QLatin1String("from")).toString();
    entry.to = object.value(QLatin1String("to")).toString();
    entry.oldName = object.value(QLatin1String("oldName")).toString();
    entry.newName = object.value(QLatin1String("newName")).toString();
    if (!known || !QDir::isAbsolutePath(entry.from) || !QDir::isAbsolutePath(entry.to))
        return std::nullopt;
    return entry;
}

// A move left half way: the hidden copy goes (the original is whole), or, when
// the copy was already in place, the original goes once it matches.
// True when the entry ended up at `to`.
bool settleMove(const QString &from, const QString &to)
{
    const QString partial = partialPathFor(to);
    if (entryExists(partial))
        removeEntry(partial, nullptr);
    if (entryExists(to) && entryExists(from)) {
        if (sameEntry(from, to))
            removeEntry(from, nullptr);
        return true;
    }
    return entryExists(to);
}

// The folder a turned-off skill sits in, with its note of origin, once empty of it.
void dropEmptyHolder(const QString &entryInside)
{
    const QString holder = QFileInfo(entryInside).absolutePath();
    if (!isTurnedOffPath(holder) || entryExists(entryInside))
        return;
    removeEntry(holder, nullptr);
}

} // namespace

QString writeJournal(const JournalEntry &entry, QString *error)
{
    if (!makeFolders(journalFolder(), error))
        return QString();
    const QString file = journalFolder() + u'/' + QUuid::createUuid().toString(QUuid::WithoutBraces)
        + QStringLiteral(".json");
    QJsonObject object;
    object.insert(QLatin1String("kind"), QLatin1String(kindKey(entry.kind)));
    object.insert(QLatin1String("from"), entry.from);
    object.insert(QLatin1String("to"), entry.to);
    object.insert(QLatin1String("oldName"), entry.oldName);
    object.insert(QLatin1String("newName"), entry.newName);
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(QJsonDocument(object).toJson()) < 0 || !out.commit()) {
        if (error)
            *error = out.errorString();
        return QString();
    }
    return file;
}

void closeJournal(const QString &file)
{
    if (!file.isEmpty())
        QFile::remove(file);
}

int finishInterruptedOperations(ModelContext &context)
{
    const QDir folder(journalFolder());
    const QStringList notes = folder.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    for (const QString &name : notes) {
        const QString file = folder.filePath(name);
        const std::optional<JournalEntry> entry = readJournal(file);
        if (entry) {
            switch (entry->kind) {
            case JournalEntry::Kind::Move:
                if (settleMove(entry->from, entry->to))
                    carryRecords(context, entry->from, entry->to);
                break;
            case JournalEntry::Kind::Rename:
                // The name is written first, then the folder renamed: a folder not
                // yet renamed takes its old name back.
                if (entryExists(entry->to)) {
                    setSkillNameField(entry->to + QStringLiteral("/SKILL.md"), entry->newName, nullptr);
                    carryRecords(context, entry->from, entry->to);
                } else if (entryExists(entry->from)) {
                    setSkillNameField(entry->from + QStringLiteral("/SKILL.md"), entry->oldName, nullptr);
                }
                break;
            case JournalEntry::Kind::TurnOff:
                if (settleMove(entry->from, entry->to))
                    carryRecords(context, entry->from, entry->to);
                dropEmptyHolder(entry->to);
                break;
            case JournalEntry::Kind::TurnOn:
                if (settleMove(entry->from, entry->to)) {
                    carryRecords(context, entry->from, entry->to);
                    dropEmptyHolder(entry->from);
                }
                break;
            }
        }
        QFile::remove(file);
    }
    return int(notes.size());
}
