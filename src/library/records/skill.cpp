#include "library/records/skill.h"

#include "library/records/compactjson.h"
#include "library/records/recordowner.h"
#include "library/records/observedfield.h"
#include "library/catalogue/settingskeys.h"
#include "library/catalogue/skilllocations.h"
#include "library/catalogue/turnedoff.h"

#include <QDir>
#include <QFileInfo>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

Skill::Skill(const QString &filePath, const QString &resolvedPath, const QString &name,
             const QString &description, const QString &content, const Frontmatter &frontmatter,
             ToolSource tool, bool isDirectory, bool isGlobal, const QDateTime &fileModifiedDate,
             qint64 fileSize)
    : Skill(filePath, resolvedPath, name, description, content, SkillEncoding::encodeFrontmatter(frontmatter), tool,
            isDirectory, isGlobal, fileModifiedDate, fileSize)
{
}

Skill::Skill(const QString &filePath, const QString &resolvedPath, const QString &name,
             const QString &description, const QString &content, const std::optional<QByteArray> &frontmatterData,
             ToolSource tool, bool isDirectory, bool isGlobal, const QDateTime &fileModifiedDate,
             qint64 fileSize)
    : m_resolvedPath(resolvedPath.isEmpty() ? filePath : resolvedPath)
    , m_filePath(filePath)
    , m_isDirectory(isDirectory)
    , m_name(name)
    , m_skillDescription(description)
    , m_content(content)
    , m_frontmatterData(frontmatterData)
    , m_fileModifiedDate(fileModifiedDate)
    , m_fileSize(fileSize)
    , m_isGlobal(isGlobal)
    , m_toolSourcesRaw(Tools::rawValue(tool))
    , m_installedPathsData(SkillEncoding::encodeStringList({filePath}))
{
}

template <typename T>
bool Skill::write(T &field, const T &value, void (Skill::*notify)())
{
    return writeObservedField(this, field, value, notify);
}

void Skill::setResolvedPath(const QString &value)
{
    if (value != m_resolvedPath && m_owner)
        m_owner->noteSortKeyChanging();
    write(m_resolvedPath, value, &Skill::resolvedPathChanged);
}
void Skill::setFilePath(const QString &value)
{
    // installedPaths() falls back to the file path. The caches are dropped before
    // the write, so that whoever the change notifies already sees the new value.
    if (value != m_filePath)
        m_installedPathsCache.reset();
    write(m_filePath, value, &Skill::filePathChanged);
}
void Skill::setIsDirectory(bool value) { write(m_isDirectory, value, &Skill::isDirectoryChanged); }
void Skill::setName(const QString &value)
{
    if (value == m_name)
        return;
    noteTextChanged();
    if (m_owner)
        m_owner->noteSortKeyChanging();
    m_nameKey.reset();
    write(m_name, value, &Skill::nameChanged);
}

void Skill::setSkillDescription(const QString &value)
{
    if (value == m_skillDescription)
        return;
    noteTextChanged();
    write(m_skillDescription, value, &Skill::skillDescriptionChanged);
}

QString Skill::content() const
{
    if (m_contentResident || !m_owner)
        return m_content;
    return m_owner->storedContent(m_persistentId);
}

void Skill::setContent(const QString &value)
{
    if (!m_contentResident) {
        if (value == content())
            return;
        m_contentResident = true;
        m_content = value;
        announceContentChanged();
        return;
    }
    if (value == m_content)
        return;
    noteTextChanged();
    write(m_content, value, &Skill::contentChanged);
}

void Skill::announceContentChanged()
{
    noteTextChanged();
    Q_EMIT contentChanged();
    if (m_owner)
        m_owner->noteChanged(this);
}

void Skill::releaseContent()
{
    if (m_persistentId == 0 || !m_owner)
        return;
    m_content = QString();
    m_contentResident = false;
}

void Skill::noteTextChanged()
{
    m_searchKey.reset();
    ++m_textRevision;
}

const SearchKey &Skill::searchKey() const
{
    if (!m_searchKey)
        m_searchKey = SearchKey::make(m_name, m_skillDescription, content(),
                                      m_owner ? m_owner->searchKeyFile() : nullptr);
    return *m_searchKey;
}
void Skill::setFrontmatterData(const std::optional<QByteArray> &value) { write(m_frontmatterData, value, &Skill::frontmatterDataChanged); }
void Skill::setIsFavorite(bool value) { write(m_isFavorite, value, &Skill::isFavoriteChanged); }
void Skill::setLastOpened(const QDateTime &value) { write(m_lastOpened, value, &Skill::lastOpenedChanged); }
void Skill::setFileModifiedDate(const QDateTime &value) { write(m_fileModifiedDate, value, &Skill::fileModifiedDateChanged); }
void Skill::setFileSize(qint64 value) { write(m_fileSize, value, &Skill::fileSizeChanged); }
void Skill::setIsGlobal(bool value) { write(m_isGlobal, value, &Skill::isGlobalChanged); }
void Skill::setToolSourcesRaw(const QString &value)
{
    if (value != m_toolSourcesRaw)
        m_toolMask = -1;
    write(m_toolSourcesRaw, value, &Skill::toolSourcesRawChanged);
}
void Skill::setInstalledPathsData(const std::optional<QByteArray> &value)
{
    if (value != m_installedPathsData)
        m_installedPathsCache.reset();
    write(m_installedPathsData, value, &Skill::installedPathsDataChanged);
}

void Skill::setHasFrontmatterYamlError(bool value)
{
    write(m_hasFrontmatterYamlError, value, &Skill::hasFrontmatterYamlErrorChanged);
}

SkillRow Skill::row() const
{
    return SkillRow{m_persistentId, m_resolvedPath, m_filePath, m_isDirectory, m_name,
                    m_skillDescription, m_content, m_contentResident, m_frontmatterData, m_isFavorite,
                    m_lastOpened, m_fileModifiedDate, m_fileSize, m_isGlobal, m_toolSourcesRaw,
                    m_installedPathsData, m_hasFrontmatterYamlError};
}

void Skill::assign(const SkillRow &row)
{
    setResolvedPath(row.resolvedPath);
    setFilePath(row.filePath);
    setIsDirectory(row.isDirectory);
    setName(row.name);
    setSkillDescription(row.skillDescription);
    if (row.hasContent) {
        setContent(row.content);
    } else if (m_contentResident && m_persistentId != 0 && m_owner) {
        // Back to the body as stored (a change taken back).
        releaseContent();
        announceContentChanged();
    }
    setFrontmatterData(row.frontmatterData);
    setIsFavorite(row.isFavorite);
    setLastOpened(row.lastOpened);
    setFileModifiedDate(row.fileModifiedDate);
    setFileSize(row.fileSize);
    setIsGlobal(row.isGlobal);
    setToolSourcesRaw(row.toolSourcesRaw);
    setInstalledPathsData(row.installedPathsData);
    setHasFrontmatterYamlError(row.hasFrontmatterYamlError);
}

void Skill::assignStored(const SkillRow &row)
{
    m_persistentId = row.id;
    m_resolvedPath = row.resolvedPath;
    m_filePath = row.filePath;
    m_isDirectory = row.isDirectory;
    m_name = row.name;
    m_skillDescription = row.skillDescription;
    m_content = row.content;
    m_contentResident = row.hasContent;
    m_frontmatterData = row.frontmatterData;
    m_isFavorite = row.isFavorite;
    m_lastOpened = row.lastOpened;
    m_fileModifiedDate = row.fileModifiedDate;
    m_fileSize = row.fileSize;
    m_isGlobal = row.isGlobal;
    m_toolSourcesRaw = row.toolSourcesRaw;
    m_installedPathsData = row.installedPathsData;
    m_hasFrontmatterYamlError = row.hasFrontmatterYamlError;
    m_stored = row;
    // Whatever was derived from the fields before is out of date.
    m_installedPathsCache.reset();
    m_nameKey.reset();
    m_toolMask = -1;
    noteTextChanged();
}

const NaturalKey &Skill::nameKey() const
{
    if (!m_nameKey)
        m_nameKey = naturalKey(m_name);
    return *m_nameKey;
}

QList<ToolSource> Skill::toolSources() const
{
    return SkillEncoding::decodeToolSources(m_toolSourcesRaw);
}

bool Skill::hasToolSource(ToolSource tool) const
{
    if (m_toolMask < 0) {
        int mask = 0;
        for (ToolSource each : toolSources())
            mask |= 1 << int(each);
        m_toolMask = mask;
    }
    return (m_toolMask >> int(tool)) & 1;
}

void Skill::setToolSources(const QList<ToolSource> &tools)
{
    setToolSourcesRaw(SkillEncoding::encodeToolSources(tools));
}

QStringList Skill::installedPaths() const
{
    // Decoded once: scans ask for it for every record they reach.
    if (!m_installedPathsCache) {
        QStringList paths = SkillEncoding::decodeStringList(m_installedPathsData).value_or(QStringList{m_filePath});
        // Most records are installed at their own path alone: that entry shares
        // the record's copy rather than keeping one more per record.
        for (QString &path : paths) {
            if (path == m_filePath)
                path = m_filePath;
            else if (path == m_resolvedPath)
                path = m_resolvedPath;
        }
        m_installedPathsCache = std::move(paths);
    }
    return *m_installedPathsCache;
}

bool Skill::isInstalledOnlyAt(const QString &path) const
{
    if (m_installedPathsCache)
        return m_installedPathsCache->size() == 1 && m_installedPathsCache->constFirst() == path;
    if (!m_installedPathsData)
        return m_filePath == path;
    // ["path"] in compact JSON: printable ASCII with no quote or backslash inside
    // is the path itself. Anything else is decoded.
    const QByteArray &data = *m_installedPathsData;
    if (data.size() == path.size() + 4 && data.startsWith("[\"") && data.endsWith("\"]")) {
        const QByteArrayView inside = QByteArrayView(data).sliced(2, data.size() - 4);
        const bool plain = std::all_of(inside.cbegin(), inside.cend(),
                                       [](char c) { return c >= 0x20 && c <= 0x7E && c != '"' && c != '\\'; });
        if (plain)
            return QLatin1StringView(inside) == path;
    }
    const QStringList paths = installedPaths();
    return paths.size() == 1 && paths.constFirst() == path;
}

void Skill::setInstalledPaths(const QStringList &paths)
{
    QStringList unique = paths;
    unique.removeDuplicates(); // keeps the first occurrence, so the order stays stable
    // A scan sets every record's paths again, mostly to what they were: the
    // encoding is skipped then, not only the write.
    if (m_installedPathsData && unique == installedPaths())
        return;
    setInstalledPathsData(SkillEncoding::encodeStringList(unique));
}

Skill::Frontmatter Skill::frontmatter() const
{
    return SkillEncoding::decodeFrontmatter(m_frontmatterData);
}

void Skill::setFrontmatter(const Frontmatter &map)
{
    setFrontmatterData(SkillEncoding::encodeFrontmatter(map));
}

std::optional<QString> Skill::projectName() const
{
    if (m_isGlobal)
        return std::nullopt; // no need to read the settings
    return projectName(readCustomScanPaths(), turnedOffFolder());
}

std::optional<QString> Skill::projectName(const QStringList &customRoots, const QString &turnedOffFolder) const
{
    // A turned-off skill lies in Vesk's own folder, which names no project.
    if (m_isGlobal || isTurnedOffPath(m_resolvedPath, turnedOffFolder))
        return std::nullopt;
    // Inside a custom scan directory the project is the folder the scan found it
    // in, whatever the folders above or below are called.
    if (const std::optional<QString> folder = SkillLocations::rootedProjectFolderOf(m_filePath, customRoots))
        return QFileInfo(*folder).fileName();
    // Elsewhere, the folder just before the first dot-folder (".claude", ".cursor", ...).
    // Walked in place: asked of every record on each pass over the library.
    const QStringView path(m_filePath);
    QStringView previous;
    for (qsizetype from = 0, index = 0;; ++index) {
        const qsizetype slash = path.indexOf(u'/', from);
        const QStringView component = path.sliced(from, (slash < 0 ? path.size() : slash) - from);
        if (index > 0 && component.startsWith(u'.')) {
            if (previous.isEmpty())
                return std::nullopt;
            return previous.toString();
        }
        if (slash < 0)
            break;
        previous = component;
        from = slash + 1;
    }
    // Instruction files at a project's top ("AGENTS.md", "CLAUDE.md") have no
    // dot-folder in their path; the location table knows where their project starts.
    if (const std::optional<QString> folder = SkillLocations::projectFolderOf(m_filePath, QDir::homePath()))
        return QFileInfo(*folder).fileName();
    return std::nullopt;
}

void Skill::addInstallation(const QString &path, ToolSource tool)
{
    const QStringList paths = installedPaths();
    if (!paths.contains(path))
        setInstalledPaths(paths + QStringList{path});
    const QList<ToolSource> tools = toolSources();
    if (!tools.contains(tool))
        setToolSources(tools + QList<ToolSource>{tool});
}

namespace SkillEncoding {

QString encodeToolSources(const QList<ToolSource> &tools)
{
    QStringList raw;
    for (ToolSource tool : tools)
        raw.append(Tools::rawValue(tool));
    raw.removeDuplicates();
    std::sort(raw.begin(), raw.end());
    return raw.join(QLatin1Char(','));
}

QList<ToolSource> decodeToolSources(const QString &raw)
{
    QList<ToolSource> tools;
    for (const QString &piece : raw.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (const auto tool = Tools::fromRawValue(piece))
            tools.append(*tool);
    }
    return tools;
}

std::optional<QByteArray> encodeStringList(const QStringList &list)
{
    return CompactJson::stringArray(list);
}

namespace {

// What encodeStringList writes for printable ASCII without a backslash: every
// quote is then a delimiter, so the strings lie between the "," separators.
// Anything else (escapes, other bytes, spaces between tokens) is left to the
// JSON parser; a listing of thousands of records decodes this for each.
std::optional<QStringList> decodeCompactAscii(const QByteArray &data)
{
    if (data == "[]")
        return QStringList{};
    if (data.size() < 4 || !data.startsWith("[\"") || !data.endsWith("\"]"))
        return std::nullopt;
    const QByteArrayView inside = QByteArrayView(data).sliced(2, data.size() - 4);
    for (const char c : inside) {
        if (c < 0x20 || c > 0x7E || c == '\\')
            return std::nullopt;
    }
    QStringList list;
    qsizetype from = 0;
    while (true) {
        const qsizetype separator = inside.indexOf(QByteArrayView("\",\""), from);
        const QByteArrayView piece = inside.sliced(from, (separator < 0 ? inside.size() : separator) - from);
        if (piece.contains('"'))
            return std::nullopt;
        list.append(QString::fromLatin1(piece));
        if (separator < 0)
            return list;
        from = separator + 3;
    }
}

} // namespace

std::optional<QStringList> decodeStringList(const std::optional<QByteArray> &data)
{
    if (!data)
        return std::nullopt;
    if (std::optional<QStringList> quick = decodeCompactAscii(*data))
        return quick;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(*data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    QStringList list;
    for (const QJsonValue &value : document.array()) {
        if (!value.isString())
            return std::nullopt;
        list.append(value.toString());
    }
    return list;
}

std::optional<QByteArray> encodeFrontmatter(const Skill::Frontmatter &map)
{
    return CompactJson::stringMap(map);
}

Skill::Frontmatter decodeFrontmatter(const std::optional<QByteArray> &data)
{
    if (!data)
        return {};
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(*data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return {};
    Skill::Frontmatter map;
    const QJsonObject object = document.object();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        if (!it.value().isString())
            return {};
        map.insert(it.key(), it.value().toString());
    }
    return map;
}

} // namespace SkillEncoding
