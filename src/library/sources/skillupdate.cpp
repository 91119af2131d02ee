#include "library/sources/skillupdate.h"

#include "library/catalogue/homepath.h"
#include "library/disk/regularfile.h"
#include "library/files/safemove.h"
#include "library/sources/folderhash.h"
#include "library/sources/gitprocess.h"
#include "library/sources/installrecord.h"
#include "library/sources/lockfile.h"
#include "library/sources/skilladd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

// The regular files under `root`, relative, ".git" left out.
QStringList filesUnder(const QString &root)
{
    QStringList files;
    QStringList pending{QString()};
    while (!pending.isEmpty() && files.size() < maxHashedFiles) {
        const QString relative = pending.takeLast();
        const QString folder = relative.isEmpty() ? root : root + u'/' + relative;
        const QStringList names =
            QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString &name : names) {
            const QString inner = relative.isEmpty() ? name : relative + u'/' + name;
            struct stat status {};
            if (::lstat(QFile::encodeName(root + u'/' + inner).constData(), &status) != 0)
                continue;
            if (S_ISDIR(status.st_mode) && name != QLatin1String(".git"))
                pending.append(inner);
            else if (S_ISREG(status.st_mode))
                files.append(inner);
        }
    }
    return files;
}

std::optional<QByteArray> bytesOf(const QString &root, const QString &relative)
{
    if (root.isEmpty())
        return std::nullopt;
    const QString path = root + u'/' + relative;
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    const RegularFileRead read = readRegularFile(path);
    if (read.status != RegularFileRead::Status::Ok)
        return std::nullopt;
    return read.bytes;
}

bool isText(const QByteArray &bytes)
{
    return !bytes.left(8000).contains('\0');
}

bool writeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        if (error)
            *error = QObject::tr("“%1” could not be written: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

std::optional<QString> hashFor(LockKind kind, const QString &folder, QString *error)
{
    return kind == LockKind::Global ? gitTreeId(folder, error) : contentHash(folder, error);
}

QString sourceKey(const SkillSource &source, const QString &ref)
{
    return source.url + u'\n' + source.source + u'\n' + ref;
}

} // namespace

QString stateKey(SkillSourceStatus::State state)
{
    switch (state) {
    case SkillSourceStatus::State::UpToDate: return QStringLiteral("up-to-date");
    case SkillSourceStatus::State::Outdated: return QStringLiteral("outdated");
    case SkillSourceStatus::State::Unknown: return QStringLiteral("unknown");
    case SkillSourceStatus::State::Local: return QStringLiteral("local");
    case SkillSourceStatus::State::Failed: return QStringLiteral("failed");
    }
    return QString();
}

QStringList scopesWithLocks(const QStringList &projects)
{
    QStringList scopes{QString()};
    for (const QString &project : projects) {
        if (!project.isEmpty() && QDir::isAbsolutePath(project) && !scopes.contains(project)
            && entryExists(projectLockPath(project)))
            scopes.append(project);
    }
    return scopes;
}

QList<SkillSourceStatus> checkForUpdates(const QStringList &scopes, const SourceOptions &options)
{
    QList<SkillSourceStatus> statuses;
    struct Answer {
        QString commit;
        QString error;
    };
    QHash<QString, Answer> answers; // one ls-remote per repository and ref
    for (const QString &project : scopes) {
        QString error;
        const std::optional<LockFile> lock = readLockFile(lockPathFor(project), lockKindFor(project), &error);
        if (!lock) {
            SkillSourceStatus status;
            status.project = project;
            status.state = SkillSourceStatus::State::Failed;
            status.error = error;
            statuses.append(status);
            continue;
        }
        for (const LockEntry &entry : lock->entries) {
            SkillSourceStatus status;
            status.name = entry.name;
            status.project = project;
            status.source = entry.source;
            status.ref = entry.ref;
            const std::optional<SkillSource> source = sourceOfEntry(entry.source, entry.sourceType, entry.sourceUrl);
            if (!source) {
                status.state = SkillSourceStatus::State::Failed;
                status.error = QObject::tr("its source is not one Vesk can ask");
                statuses.append(status);
                continue;
            }
            if (source->kind == SkillSource::Kind::Local) {
                status.state = SkillSourceStatus::State::Local;
                statuses.append(status);
                continue;
            }
            const QString folder = installedFolderFor(entry.name, project);
            const std::optional<InstallRecord> record = folder.isEmpty() ? std::nullopt : installRecordFor(folder);
            if (record && record->sourceUrl == source->url && record->ref == entry.ref)
                status.installedCommit = record->commit;
            const QString key = sourceKey(*source, entry.ref);
            if (!answers.contains(key)) {
                Answer answer;
                answer.commit = remoteCommit(source->url, entry.ref, options.remoteTimeoutMs, &answer.error);
                answers.insert(key, answer);
            }
            const Answer &answer = answers[key];
            status.latestCommit = answer.commit;
            if (answer.commit.isEmpty()) {
                status.state = SkillSourceStatus::State::Failed;
                status.error = answer.error;
            } else if (status.installedCommit.isEmpty()) {
                status.state = SkillSourceStatus::State::Unknown;
            } else {
                status.state = status.installedCommit == answer.commit ? SkillSourceStatus::State::UpToDate
                                                                       : SkillSourceStatus::State::Outdated;
            }
            statuses.append(status);
        }
    }
    return statuses;
}

bool mergeSkillFolders(const QString &base, const QString &mine, const QString &theirs, const QString &out,
                       QStringList *conflicts, QString *error)
{
    // Upstream's folder first: its links and file modes are the new ones.
    if (!placeSkillCopy(theirs, out, error))
        return false;
    QStringList all = filesUnder(base) + filesUnder(mine) + filesUnder(theirs);
    all.removeDuplicates();
    all.sort();
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        if (error)
            *error = QObject::tr("No room for a temporary folder");
        return false;
    }
    for (const QString &relative : std::as_const(all)) {
        const std::optional<QByteArray> b = bytesOf(base, relative);
        const std::optional<QByteArray> m = bytesOf(mine, relative);
        const std::optional<QByteArray> t = bytesOf(theirs, relative);
        const QString target = out + u'/' + relative;
        std::optional<QByteArray> result;
        if (m == t || m == b) {
            result = t; // the same on both sides, or only upstream changed it
        } else if (t == b) {
            result = m; // only the user changed it
            if (m && !QFileInfo::exists(target)) {
                QDir().mkpath(QFileInfo(target).absolutePath());
                QFile::copy(mine + u'/' + relative, target); // keeps the user's mode
            }
        } else if (m && t && isText(*m) && isText(*t) && (!b || isText(*b))) {
            const QString basePath = scratch.filePath(QStringLiteral("base"));
            if (!writeFile(basePath, b.value_or(QByteArray()), error))
                return false;
            const GitRun merge = runGit({QStringLiteral("merge-file"), QStringLiteral("-p"), QStringLiteral("-L"),
                                         QStringLiteral("yours"), QStringLiteral("-L"), QStringLiteral("installed"),
                                         QStringLiteral("-L"), QStringLiteral("upstream"), QStringLiteral("--"),
                                         mine + u'/' + relative, basePath, theirs + u'/' + relative},
                                        QString(), 60000);
            if (merge.exitCode < 0 || merge.exitCode > 127) {
                if (error)
                    *error = merge.error;
                return false;
            }
            if (merge.output.size() >= maxGitOutputBytes) {
                result = m; // too large to merge here: the user's stays
                conflicts->append(relative);
            } else {
                result = merge.output;
                if (merge.exitCode > 0)
                    conflicts->append(relative);
            }
        } else {
            // Binary, or removed on one side and changed on the other: the user's stays.
            result = m;
            conflicts->append(relative);
        }
        if (result) {
            if (!writeFile(target, *result, error))
                return false;
        } else if (entryExists(target)) {
            QFile::remove(target);
        }
    }
    return true;
}

UpdatePreview previewUpdate(const QString &project, const QString &name, const SourceOptions &options)
{
    UpdatePreview preview;
    preview.name = name;
    const LockKind kind = lockKindFor(project);
    const std::optional<LockFile> lock = readLockFile(lockPathFor(project), kind, &preview.error);
    const LockEntry *entry = lock ? findEntry(*lock, name) : nullptr;
    if (!entry) {
        if (preview.error.isEmpty())
            preview.error = QObject::tr("no lock file records where “%1” came from").arg(name.left(80));
        return preview;
    }
    preview.current = installedFolderFor(name, project);
    const std::optional<SkillSource> source = sourceOfEntry(entry->source, entry->sourceType, entry->sourceUrl);
    const std::optional<QString> relative = skillFolderOf(entry->skillPath);
    if (preview.current.isEmpty() || !source || !relative || !localSourceAllowed(*source, project)) {
        preview.error = preview.current.isEmpty() ? QObject::tr("it is not installed") : QObject::tr("its source cannot be fetched");
        return preview;
    }
    const FetchedSource fetched = fetchSource(*source, entry->ref, options);
    if (!fetched.error.isEmpty()) {
        preview.error = fetched.error;
        return preview;
    }
    const std::optional<FoundSkill> upstream = skillAt(fetched.root, *relative, name);
    if (!upstream || !upstream->problem.isEmpty()) {
        preview.error = upstream ? upstream->problem : QObject::tr("its source no longer has it");
        return preview;
    }
    preview.upstream = upstream->folder;
    const QString pristine = pristineFolderFor(preview.current);
    if (QFileInfo(pristine).isDir())
        preview.installed = pristine;
    const std::optional<QString> upstreamHash = hashFor(kind, upstream->folder, &preview.error);
    const std::optional<QString> currentHash = hashFor(kind, preview.current, &preview.error);
    if (!upstreamHash || !currentHash)
        return preview;
    preview.changedUpstream = *upstreamHash != entry->hash;
    preview.edited = entry->hash.isEmpty() ? (preview.installed.isEmpty() || !sameEntry(pristine, preview.current))
                                           : *currentHash != entry->hash;
    if (preview.edited && !preview.installed.isEmpty())
        sameEntry(pristine, preview.current, &preview.editedFiles);
    return preview;
}

QList<SkillUpdate> updateSkills(const QString &project, const QStringList &names, EditPolicy policy,
                                const SourceOptions &options)
{
    QList<SkillUpdate> updates;
    const LockKind kind = lockKindFor(project);
    const QString lockPath = lockPathFor(project);
    QString error;
    const std::optional<LockFile> lock = readLockFile(lockPath, kind, &error);
    if (!lock) {
        SkillUpdate failed;
        failed.error = error;
        updates.append(failed);
        return updates;
    }
    QList<LockEntry> entries;
    for (const QString &name : names) {
        const LockEntry *entry = findEntry(*lock, name);
        if (!entry) {
            SkillUpdate failed;
            failed.name = name;
            failed.error = QObject::tr("no lock file records where “%1” came from").arg(name.left(80));
            updates.append(failed);
            continue;
        }
        entries.append(*entry);
    }
    if (names.isEmpty())
        entries = lock->entries;

    QHash<QString, FetchedSource> fetches;
    for (const LockEntry &entry : std::as_const(entries)) {
        SkillUpdate update;
        update.name = entry.name;
        const auto failed = [&updates, &update](const QString &why) {
            update.state = SkillUpdate::State::Failed;
            update.error = why;
            updates.append(update);
        };
        const QString folder = installedFolderFor(entry.name, project);
        if (folder.isEmpty()) {
            failed(QObject::tr("it is not installed; vesk restore installs it"));
            continue;
        }
        const std::optional<SkillSource> source = sourceOfEntry(entry.source, entry.sourceType, entry.sourceUrl);
        const std::optional<QString> relative = skillFolderOf(entry.skillPath);
        if (source && !localSourceAllowed(*source, project)) {
            failed(localSourceRefusal());
            continue;
        }
        if (!source || !relative) {
            failed(!source ? QObject::tr("its source is not one Vesk can fetch")
                           : QObject::tr("its skillPath leads outside its source"));
            continue;
        }
        const QString key = sourceKey(*source, entry.ref);
        if (!fetches.contains(key))
            fetches.insert(key, fetchSource(*source, entry.ref, options));
        const FetchedSource &fetched = fetches[key];
        if (!fetched.error.isEmpty()) {
            failed(fetched.error);
            continue;
        }
        const std::optional<FoundSkill> upstream = skillAt(fetched.root, *relative, entry.name);
        if (!upstream) {
            failed(QObject::tr("its source no longer has a skill at “%1”").arg(relative->left(200)));
            continue;
        }
        if (!upstream->problem.isEmpty()) {
            failed(upstream->problem);
            continue;
        }
        const std::optional<QString> upstreamHash = hashFor(kind, upstream->folder, &error);
        const std::optional<QString> currentHash = upstreamHash ? hashFor(kind, folder, &error) : std::nullopt;
        if (!currentHash) {
            failed(error);
            continue;
        }
        const std::optional<InstallRecord> record = installRecordFor(folder);
        const auto remember = [&]() {
            InstallRecord fresh;
            fresh.folder = folder;
            fresh.sourceUrl = source->url.isEmpty() ? source->source : source->url;
            fresh.ref = entry.ref;
            fresh.commit = fetched.commit;
            fresh.contentHash = contentHash(upstream->folder).value_or(QString());
            saveInstallRecord(fresh);
        };
        if (*upstreamHash == entry.hash) {
            update.state = SkillUpdate::State::UpToDate;
            if (!record || record->commit != fetched.commit)
                remember();
            updates.append(update);
            continue;
        }
        const QString pristine = pristineFolderFor(folder);
        const bool havePristine = QFileInfo(pristine).isDir();
        // A lock entry without a hash says nothing: the pristine copy, if any, does.
        const bool edited = entry.hash.isEmpty() ? (!havePristine || !sameEntry(pristine, folder))
                                                 : *currentHash != entry.hash;
        if (edited && havePristine)
            sameEntry(pristine, folder, &update.editedFiles);
        if (edited && policy == EditPolicy::Refuse) {
            update.state = SkillUpdate::State::Edited;
            update.error = havePristine
                ? QObject::tr("it was edited since it was installed")
                : QObject::tr("its files differ from what was installed, and Vesk kept no copy to compare with");
            updates.append(update);
            continue;
        }
        QDir().mkpath(sourcesCacheFolder());
        QTemporaryDir work(sourcesCacheFolder() + QStringLiteral("/.merge-XXXXXX"));
        QString contents = upstream->folder;
        if (edited && policy == EditPolicy::Merge) {
            if (!havePristine) {
                failed(QObject::tr("Vesk kept no copy of what was installed to merge against"));
                continue;
            }
            const QString merged = work.filePath(QStringLiteral("merged"));
            if (!work.isValid() || !mergeSkillFolders(pristine, folder, upstream->folder, merged, &update.conflictFiles, &error)) {
                failed(error.isEmpty() ? QObject::tr("the merge could not be made") : error);
                continue;
            }
            contents = merged;
        }
        // Taking theirs over an edit: the edited folder goes to the trash, not away.
        if (!replaceSkillFolder(folder, contents, edited, &error) || !keepPristine(folder, upstream->folder, &error)) {
            failed(error);
            continue;
        }
        LockEntry fresh = entry;
        fresh.hash = *upstreamHash;
        fresh.updatedAt = lockTimestamp();
        if (!writeLockEntry(lockPath, kind, fresh, &error)) {
            failed(error);
            continue;
        }
        remember();
        update.state = !edited ? SkillUpdate::State::Updated
            : policy == EditPolicy::Merge ? (update.conflictFiles.isEmpty() ? SkillUpdate::State::Merged
                                                                            : SkillUpdate::State::Conflicts)
                                          : SkillUpdate::State::Updated;
        updates.append(update);
    }
    return updates;
}
