#include "library/sources/lockfile.h"

#include "library/disk/regularfile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QObject>
#include <QSaveFile>

#include <algorithm>

namespace {

QString text(const QJsonObject &object, const char *key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    return value.isString() ? value.toString().left(4096) : QString();
}

void setOrDrop(QJsonObject &object, const char *key, const QString &value)
{
    if (value.isEmpty())
        object.remove(QLatin1String(key));
    else
        object.insert(QLatin1String(key), value);
}

// What JSON.stringify writes for a string.
QByteArray quoted(const QString &string)
{
    QByteArray out("\"");
    for (qsizetype i = 0; i < string.size(); ++i) {
        const char16_t c = string.at(i).unicode();
        switch (c) {
        case u'"': out += "\\\""; continue;
        case u'\\': out += "\\\\"; continue;
        case u'\b': out += "\\b"; continue;
        case u'\f': out += "\\f"; continue;
        case u'\n': out += "\\n"; continue;
        case u'\r': out += "\\r"; continue;
        case u'\t': out += "\\t"; continue;
        default: break;
        }
        if (c < 0x20) {
            out += "\\u" + QByteArray::number(c, 16).rightJustified(4, '0');
        } else if (QChar::isHighSurrogate(c) && i + 1 < string.size() && string.at(i + 1).isLowSurrogate()) {
            out += QString(string.mid(i, 2)).toUtf8();
            ++i;
        } else if (QChar::isSurrogate(c)) {
            out += "\\u" + QByteArray::number(c, 16).rightJustified(4, '0');
        } else {
            out += QString(QChar(c)).toUtf8();
        }
    }
    return out + '"';
}

void write(QByteArray &out, const QJsonValue &value, int indent)
{
    const QByteArray inner(size_t(indent + 2), ' ');
    const QByteArray outer(size_t(indent), ' ');
    switch (value.type()) {
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        if (object.isEmpty()) {
            out += "{}";
            return;
        }
        QStringList keys = object.keys();
        std::sort(keys.begin(), keys.end());
        out += "{\n";
        for (qsizetype i = 0; i < keys.size(); ++i) {
            out += inner + quoted(keys.at(i)) + ": ";
            write(out, object.value(keys.at(i)), indent + 2);
            out += i + 1 < keys.size() ? ",\n" : "\n";
        }
        out += outer + '}';
        return;
    }
    case QJsonValue::Array: {
        const QJsonArray array = value.toArray();
        if (array.isEmpty()) {
            out += "[]";
            return;
        }
        out += "[\n";
        for (qsizetype i = 0; i < array.size(); ++i) {
            out += inner;
            write(out, array.at(i), indent + 2);
            out += i + 1 < array.size() ? ",\n" : "\n";
        }
        out += outer + ']';
        return;
    }
    case QJsonValue::String:
        out += quoted(value.toString());
        return;
    case QJsonValue::Bool:
        out += value.toBool() ? "true" : "false";
        return;
    case QJsonValue::Double: {
        // Qt's own shortest form of the number, without the array around it.
        const QByteArray compact = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
        out += compact.mid(1, compact.size() - 2);
        return;
    }
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        out += "null";
        return;
    }
}

LockEntry entryFrom(const QString &name, const QJsonObject &object, LockKind kind)
{
    LockEntry entry;
    entry.name = name;
    entry.source = text(object, "source");
    entry.sourceType = text(object, "sourceType");
    entry.sourceUrl = text(object, "sourceUrl");
    entry.ref = text(object, "ref");
    entry.skillPath = text(object, "skillPath");
    entry.hash = text(object, kind == LockKind::Global ? "skillFolderHash" : "computedHash");
    entry.installedAt = text(object, "installedAt");
    entry.updatedAt = text(object, "updatedAt");
    entry.pluginName = text(object, "pluginName");
    entry.fields = object;
    return entry;
}

} // namespace

QString globalLockPath()
{
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!state.isEmpty() && QDir::isAbsolutePath(state)) {
        const QString path = QDir::cleanPath(state + QStringLiteral("/skills/.skill-lock.json"));
        if (QFileInfo::exists(path))
            return path;
    }
    return QDir::homePath() + QStringLiteral("/.agents/.skill-lock.json");
}

QString projectLockPath(const QString &project)
{
    return QDir::cleanPath(project + QStringLiteral("/skills-lock.json"));
}

QString lockPathFor(const QString &project)
{
    return project.isEmpty() ? globalLockPath() : projectLockPath(project);
}

LockKind lockKindFor(const QString &project)
{
    return project.isEmpty() ? LockKind::Global : LockKind::Project;
}

std::optional<LockFile> readLockFile(const QString &path, LockKind kind, QString *error)
{
    LockFile lock;
    lock.kind = kind;
    lock.path = path;
    const RegularFileRead read = readRegularFile(path, maxLockFileBytes);
    if (read.status == RegularFileRead::Status::Missing)
        return lock;
    if (read.status != RegularFileRead::Status::Ok) {
        if (error)
            *error = QObject::tr("The lock file “%1” was not read: %2").arg(path, unreadReason(read, maxLockFileBytes));
        return std::nullopt;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(read.bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        if (error)
            *error = QObject::tr("The lock file “%1” is not a JSON object").arg(path);
        return std::nullopt;
    }
    lock.exists = true;
    lock.root = document.object();
    lock.version = lock.root.value(QLatin1String("version")).toInt(0);
    const QJsonObject skills = lock.root.value(QLatin1String("skills")).toObject();
    for (auto it = skills.constBegin(); it != skills.constEnd(); ++it) {
        if (!isSafeSkillName(it.key())) {
            lock.problems.append(QObject::tr("An entry named “%1” names no skill folder").arg(it.key().left(80)));
            continue;
        }
        if (!it.value().isObject()) {
            lock.problems.append(QObject::tr("The entry “%1” is not an object").arg(it.key()));
            continue;
        }
        lock.byName.insert(it.key(), lock.entries.size());
        lock.entries.append(entryFrom(it.key(), it.value().toObject(), kind));
    }
    return lock;
}

const LockEntry *findEntry(const LockFile &lock, const QString &name)
{
    if (const auto at = lock.byName.constFind(name); at != lock.byName.cend() && *at < lock.entries.size()
        && lock.entries.at(*at).name == name)
        return &lock.entries.at(*at);
    for (const LockEntry &entry : lock.entries) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

bool writeLockEntry(const QString &path, LockKind kind, const LockEntry &entry, QString *error)
{
    const auto fail = [error](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    if (!isSafeSkillName(entry.name))
        return fail(QObject::tr("“%1” cannot name a skill").arg(entry.name.left(80)));
    const std::optional<LockFile> lock = readLockFile(path, kind, error);
    if (!lock)
        return false;
    const int ours = kind == LockKind::Global ? globalLockVersion : projectLockVersion;
    if (lock->version > ours)
        return fail(QObject::tr("The lock file “%1” is of version %2, newer than Vesk knows; it was left as it is")
                        .arg(path)
                        .arg(lock->version));

    QJsonObject root = lock->root;
    root.insert(QLatin1String("version"), ours);
    QJsonObject skills = root.value(QLatin1String("skills")).toObject();
    QJsonObject object = skills.value(entry.name).toObject();
    object.insert(QLatin1String("source"), entry.source);
    object.insert(QLatin1String("sourceType"), entry.sourceType);
    setOrDrop(object, "sourceUrl", entry.sourceUrl);
    setOrDrop(object, "ref", entry.ref);
    setOrDrop(object, "skillPath", entry.skillPath);
    if (kind == LockKind::Global) {
        object.insert(QLatin1String("skillFolderHash"), entry.hash);
        object.insert(QLatin1String("installedAt"), entry.installedAt);
        object.insert(QLatin1String("updatedAt"), entry.updatedAt);
        // Vesk installs no plugins: the name an installer gave is its own to keep.
        if (!entry.pluginName.isEmpty())
            object.insert(QLatin1String("pluginName"), entry.pluginName);
    } else {
        object.insert(QLatin1String("computedHash"), entry.hash);
    }
    skills.insert(entry.name, object);
    root.insert(QLatin1String("skills"), skills);

    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return fail(QObject::tr("The folder of “%1” could not be made").arg(path));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QObject::tr("The lock file “%1” could not be written: %2").arg(path, file.errorString()));
    file.write(lockFileText(root));
    if (!file.commit())
        return fail(QObject::tr("The lock file “%1” could not be written: %2").arg(path, file.errorString()));
    return true;
}

QByteArray lockFileText(const QJsonObject &root)
{
    QByteArray out;
    write(out, root, 0);
    return out + '\n';
}

bool isSafeSkillName(const QString &name)
{
    // Hidden names are left to the tools and to Vesk's own half-made copies.
    if (name.isEmpty() || name.size() > 255 || name.startsWith(u'.'))
        return false;
    return std::none_of(name.cbegin(), name.cend(),
                        [](QChar c) { return c == u'/' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

std::optional<QString> skillFolderOf(const QString &skillPath)
{
    QString path = skillPath;
    path.replace(u'\\', u'/');
    if (path.startsWith(u'/') || path.size() > 4096 || path.contains(QChar(0)))
        return std::nullopt;
    QStringList parts = path.split(u'/', Qt::SkipEmptyParts);
    if (!parts.isEmpty() && parts.constLast().compare(QLatin1String("SKILL.md"), Qt::CaseInsensitive) == 0)
        parts.removeLast();
    parts.removeAll(QStringLiteral("."));
    if (parts.contains(QStringLiteral("..")))
        return std::nullopt;
    return parts.join(u'/');
}

std::optional<QString> insideFolder(const QString &root, const QString &relative)
{
    const QString canonicalRoot = QFileInfo(root).canonicalFilePath();
    if (canonicalRoot.isEmpty())
        return std::nullopt;
    const QString joined = relative.isEmpty() ? root : root + u'/' + relative;
    const QString canonical = QFileInfo(joined).canonicalFilePath();
    if (canonical.isEmpty() || (canonical != canonicalRoot && !canonical.startsWith(canonicalRoot + u'/')))
        return std::nullopt;
    return canonical;
}

QString lockTimestamp()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}
