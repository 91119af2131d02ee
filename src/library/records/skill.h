#pragma once

#include "library/records/recordrows.h"
#include "library/search/naturalorder.h"
#include "library/search/searchkey.h"
#include "library/catalogue/toolsource.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class ModelContext;
class RecordOwner;
class SkillCollection;

// One distinct skill file on disk, identified by its symlink-resolved path.
// Every stored field notifies its own ...Changed signal; writing an equal value
// stores nothing and notifies nobody. Records belong to a ModelContext, which
// tracks their changes until the next save.
class Skill final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString resolvedPath READ resolvedPath WRITE setResolvedPath NOTIFY resolvedPathChanged)
    Q_PROPERTY(QString filePath READ filePath WRITE setFilePath NOTIFY filePathChanged)
    Q_PROPERTY(bool isDirectory READ isDirectory WRITE setIsDirectory NOTIFY isDirectoryChanged)
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(QString skillDescription READ skillDescription WRITE setSkillDescription NOTIFY skillDescriptionChanged)
    Q_PROPERTY(QString content READ content WRITE setContent NOTIFY contentChanged)
    Q_PROPERTY(bool isFavorite READ isFavorite WRITE setIsFavorite NOTIFY isFavoriteChanged)
    Q_PROPERTY(QDateTime lastOpened READ lastOpened WRITE setLastOpened NOTIFY lastOpenedChanged)
    Q_PROPERTY(QDateTime fileModifiedDate READ fileModifiedDate WRITE setFileModifiedDate NOTIFY fileModifiedDateChanged)
    Q_PROPERTY(qint64 fileSize READ fileSize WRITE setFileSize NOTIFY fileSizeChanged)
    Q_PROPERTY(bool isGlobal READ isGlobal WRITE setIsGlobal NOTIFY isGlobalChanged)
    Q_PROPERTY(QString toolSourcesRaw READ toolSourcesRaw WRITE setToolSourcesRaw NOTIFY toolSourcesRawChanged)
    Q_PROPERTY(bool hasFrontmatterYamlError READ hasFrontmatterYamlError WRITE setHasFrontmatterYamlError NOTIFY hasFrontmatterYamlErrorChanged)

public:
    using Frontmatter = QMap<QString, QString>;

    Skill(const QString &filePath, const QString &resolvedPath, const QString &name,
          const QString &description, const QString &content, const Frontmatter &frontmatter,
          ToolSource tool, bool isDirectory, bool isGlobal, const QDateTime &fileModifiedDate,
          qint64 fileSize);
    // The same with the frontmatter already encoded (SkillEncoding::encodeFrontmatter),
    // as a scan's workers do it.
    Skill(const QString &filePath, const QString &resolvedPath, const QString &name,
          const QString &description, const QString &content, const std::optional<QByteArray> &frontmatterData,
          ToolSource tool, bool isDirectory, bool isGlobal, const QDateTime &fileModifiedDate,
          qint64 fileSize);

    // Stored fields.
    QString resolvedPath() const { return m_resolvedPath; }
    QString filePath() const { return m_filePath; }
    bool isDirectory() const { return m_isDirectory; }
    QString name() const { return m_name; }
    // Compared in place: a list of a hundred thousand rows asks it of every neighbour.
    bool hasSameNameAs(const Skill &other) const { return m_name == other.m_name; }
    QString skillDescription() const { return m_skillDescription; }
    // The body. A saved record does not keep it in memory (bodies are most of a
    // library's bytes): it is read from the store each time it is asked for.
    QString content() const;
    // Whether the body is held in memory rather than read from the store.
    bool isContentResident() const { return m_contentResident; }
    std::optional<QByteArray> frontmatterData() const { return m_frontmatterData; }
    bool isFavorite() const { return m_isFavorite; }
    QDateTime lastOpened() const { return m_lastOpened; } // invalid when never opened
    QDateTime fileModifiedDate() const { return m_fileModifiedDate; }
    qint64 fileSize() const { return m_fileSize; }
    bool isGlobal() const { return m_isGlobal; }
    QString toolSourcesRaw() const { return m_toolSourcesRaw; }
    std::optional<QByteArray> installedPathsData() const { return m_installedPathsData; }
    // The file's frontmatter block is not YAML: its values were read line by line.
    bool hasFrontmatterYamlError() const { return m_hasFrontmatterYamlError; }

    void setResolvedPath(const QString &value);
    void setFilePath(const QString &value);
    void setIsDirectory(bool value);
    void setName(const QString &value);
    void setSkillDescription(const QString &value);
    void setContent(const QString &value);
    void setFrontmatterData(const std::optional<QByteArray> &value);
    void setIsFavorite(bool value);
    void setLastOpened(const QDateTime &value);
    void setFileModifiedDate(const QDateTime &value);
    void setFileSize(qint64 value);
    void setIsGlobal(bool value);
    void setToolSourcesRaw(const QString &value);
    void setInstalledPathsData(const std::optional<QByteArray> &value);
    void setHasFrontmatterYamlError(bool value);

    // Derived members, computed from the packed fields on every access.
    QList<ToolSource> toolSources() const;
    // Whether toolSources() holds `tool`, without decoding the text each time.
    bool hasToolSource(ToolSource tool) const;
    void setToolSources(const QList<ToolSource> &tools);
    QStringList installedPaths() const;
    // Whether installedPaths() is `path` alone, answered from the stored text
    // where it can be, without decoding it: asked of every record by a scan's
    // end, where most records are installed at their own path only.
    bool isInstalledOnlyAt(const QString &path) const;
    void setInstalledPaths(const QStringList &paths);
    Frontmatter frontmatter() const;
    void setFrontmatter(const Frontmatter &map);
    std::optional<QString> projectName() const;
    // The same with the custom scan directories and the turned-off folder
    // (turnedOffFolder()) given, for callers asking of many records.
    std::optional<QString> projectName(const QStringList &customRoots, const QString &turnedOffFolder) const;

    // Records that the same file is also installed at `path` for `tool`.
    void addInstallation(const QString &path, ToolSource tool);

    // The collections holding this skill; change membership through SkillCollection.
    QList<SkillCollection *> collections() const { return m_collections; }

    // The folded name, description and body that search scans. Built on first
    // use and rebuilt after any of the three changes.
    const SearchKey &searchKey() const;
    // The name's place in the natural order, worked out once per name: the list
    // keeps thousands of records in that order and compares them often.
    const NaturalKey &nameKey() const;
    bool hasSearchKey() const { return m_searchKey.has_value(); }
    // Takes a key built elsewhere (off the window's thread) from exactly this
    // record's current name, description and body.
    void setSearchKey(SearchKey key) { m_searchKey = std::move(key); }

    // Counts the changes of name, description and body, so that work done on
    // another thread from an earlier reading can tell it is out of date.
    quint32 textRevision() const { return m_textRevision; }

    // Row id in the store; 0 until the record has been saved once.
    qint64 persistentId() const { return m_persistentId; }
    // Whoever keeps the record (the store's context); null for a free record.
    RecordOwner *owner() const { return m_owner; }

Q_SIGNALS:
    void resolvedPathChanged();
    void filePathChanged();
    void isDirectoryChanged();
    void nameChanged();
    void skillDescriptionChanged();
    void contentChanged();
    void frontmatterDataChanged();
    void isFavoriteChanged();
    void lastOpenedChanged();
    void fileModifiedDateChanged();
    void fileSizeChanged();
    void isGlobalChanged();
    void toolSourcesRawChanged();
    void installedPathsDataChanged();
    void hasFrontmatterYamlErrorChanged();
    void collectionsChanged();
    // The record is about to leave its context (its file is gone); sent before the
    // context's own notice, so that whoever holds unsaved text for it hears first.
    void removing();
    // A scan found this record's file again under another path, as `successor`;
    // sent before this record is removed.
    void movedTo(Skill *successor);

private:
    friend class ModelContext;
    friend class SkillCollection;

    Skill() = default; // for loading rows
    // The stored fields as one row (with the row id).
    SkillRow row() const;
    // Writes every field of `row` through the setters, so listeners hear of each change.
    void assign(const SkillRow &row);
    // Takes the row as read from the store, id included, telling nobody: for new records.
    void assignStored(const SkillRow &row);
    template <typename T>
    bool write(T &field, const T &value, void (Skill::*notify)());
    void noteTextChanged();
    // The body changed in a way no field write saw: tell everyone as a write would.
    void announceContentChanged();
    // Leaves the body to the store, once it is saved there.
    void releaseContent();

    QString m_resolvedPath;
    QString m_filePath;
    bool m_isDirectory = false;
    QString m_name;
    QString m_skillDescription;
    QString m_content; // only while m_contentResident
    bool m_contentResident = true;
    std::optional<QByteArray> m_frontmatterData;
    bool m_isFavorite = false;
    QDateTime m_lastOpened;
    QDateTime m_fileModifiedDate;
    qint64 m_fileSize = 0;
    bool m_isGlobal = false;
    QString m_toolSourcesRaw;
    std::optional<QByteArray> m_installedPathsData;
    bool m_hasFrontmatterYamlError = false;

    QList<SkillCollection *> m_collections;
    mutable std::optional<SearchKey> m_searchKey;
    mutable std::optional<NaturalKey> m_nameKey;
    mutable int m_toolMask = -1; // bit per ToolSource; -1 until computed
    mutable std::optional<QStringList> m_installedPathsCache; // decoded installedPathsData
    quint32 m_textRevision = 0;
    qint64 m_persistentId = 0;
    RecordOwner *m_owner = nullptr;
    // The row as this process last read or wrote it; see RecordRows::mergeSkill.
    SkillRow m_stored;
};

// The packed encodings, shared by the record and the store.
namespace SkillEncoding {
QString encodeToolSources(const QList<ToolSource> &tools);
QList<ToolSource> decodeToolSources(const QString &raw);
std::optional<QByteArray> encodeStringList(const QStringList &list);
std::optional<QStringList> decodeStringList(const std::optional<QByteArray> &data);
std::optional<QByteArray> encodeFrontmatter(const Skill::Frontmatter &map);
Skill::Frontmatter decodeFrontmatter(const std::optional<QByteArray> &data);
} // namespace SkillEncoding
