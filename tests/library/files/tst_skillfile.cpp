#include "library/files/skillfile.h"
#include "library/disk/regularfile.h"
#include "library/files/savebackups.h"
#include "skillfiles.h"
#include "testhome.h"

#include <QtTest/QtTest>

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

Q_DECLARE_METATYPE(DiskComparison)
Q_DECLARE_METATYPE(SkillFileContents::Status)

namespace {

using TestFiles::writeBytes;

struct stat statOf(const QString &path, bool followLinks = true)
{
    struct stat info {};
    if (followLinks)
        ::stat(QFile::encodeName(path).constData(), &info);
    else
        ::lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

} // namespace

// Reading a skill file into the editor's text and writing it back.
class TestSkillFile final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString path(const QString &relative) const { return m_dir->path() + u'/' + relative; }

    // Entries of the folder other than the ones named: leftovers of a save.
    QStringList strays(const QString &folder, const QStringList &expected) const
    {
        QStringList found = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString &name : expected)
            found.removeAll(name);
        return found;
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void decodingFindsTheLayoutAndEncodingRestoresIt_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("crlf");
        QTest::addColumn<bool>("byteOrderMark");
        QTest::addColumn<bool>("roundTrips");
        QTest::newRow("line feeds stay as they are") << QByteArray("a\nb\n") << "a\nb\n" << false << false << true;
        QTest::newRow("CRLF files read as line feeds and write back as CRLF")
            << QByteArray("a\r\nb\r\n") << "a\nb\n" << true << false << true;
        QTest::newRow("a byte-order mark is set aside and written back")
            << QByteArray("\xEF\xBB\xBF---\r\nname: x\r\n") << "---\nname: x\n" << true << true << true;
        QTest::newRow("only the first mark is the file's; a second is text")
            << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFx") << QStringLiteral("\uFEFFx") << false << true << true;
        QTest::newRow("mixed ends take the more common one for new lines, and each is kept")
            << QByteArray("a\r\nb\r\nc\nd") << "a\nb\nc\nd" << true << false << true;
        QTest::newRow("a tie keeps line feeds") << QByteArray("a\r\nb\nc") << "a\nb\nc" << false << false << true;
        QTest::newRow("a lone CR, U+2028 and U+2029 are lines in the editor and written back as they were")
            << QByteArray("a\rb\xE2\x80\xA8" "c\xE2\x80\xA9" "d\r\n\re\n") << "a\nb\nc\nd\n\ne\n" << false << false
            << true;
        QTest::newRow("no line end at all") << QByteArray("é😀") << "é😀" << false << false << true;
    }

    void decodingFindsTheLayoutAndEncodingRestoresIt()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(bool, crlf);
        QFETCH(bool, byteOrderMark);
        QFETCH(bool, roundTrips);
        TextLayout layout;
        const std::optional<QString> decoded = decodeSkillText(bytes, &layout);
        QVERIFY(decoded);
        QCOMPARE(*decoded, text);
        QCOMPARE(layout.crlf, crlf);
        QCOMPARE(layout.byteOrderMark, byteOrderMark);
        QCOMPARE(encodeSkillText(*decoded, layout) == bytes, roundTrips);
    }

    void invalidUtf8IsNotText()
    {
        QVERIFY(!decodeSkillText(QByteArray("ok \xC3\x28 no"), nullptr));
        QVERIFY(!decodeSkillText(QByteArray("\xED\xA0\x80"), nullptr)); // an encoded surrogate
        QVERIFY(!decodeSkillText(QByteArray("cut off \xE2\x82"), nullptr)); // a sequence the file ends inside
    }

    void longLinesAreMeasuredAndCut_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("longest");
        QTest::addColumn<QString>("cut"); // at four units
        QTest::newRow("short lines stay whole") << "abc\nde" << 3 << "abc\nde";
        QTest::newRow("a long line is cut and marked") << "abcdefg\nxy" << 7 << "abcd…\nxy";
        QTest::newRow("carriage returns and paragraph separators end lines too")
            << "abcdef\rgh\u2029ijklmnop" << 8 << "abcd…\rgh\u2029ijkl…";
        QTest::newRow("a line separator does not") << "ab\u2028cdef" << 7 << "ab\u2028c…";
        QTest::newRow("an emoji is not split in two") << "abc😀def" << 8 << "abc…";
        QTest::newRow("an empty text") << "" << 0 << "";
    }

    void longLinesAreMeasuredAndCut()
    {
        QFETCH(QString, text);
        QFETCH(int, longest);
        QFETCH(QString, cut);
        QCOMPARE(longestLineLength(text), qsizetype(longest));
        QCOMPARE(cutLongLines(text, 4), cut);
    }

    void loadingTellsWhatIsThere_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<SkillFileContents::Status>("status");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a text file is read") << "text" << SkillFileContents::Status::Ok << "";
        QTest::newRow("nothing at the path may be written afresh") << "missing" << SkillFileContents::Status::Missing << "";
        QTest::newRow("bytes that are not UTF-8 are no text")
            << "latin1" << SkillFileContents::Status::Unavailable << "it is not valid UTF-8 text";
        QTest::newRow("a named pipe is not read") << "fifo" << SkillFileContents::Status::Unavailable
                                                  << "it is not a regular file";
        QTest::newRow("a file over the limit is not read")
            << "huge" << SkillFileContents::Status::Unavailable << "it is larger than 8 MiB";
        QTest::newRow("a file we may not read says why") << "private" << SkillFileContents::Status::Unavailable
                                                         << "Permission denied";
    }

    void loadingTellsWhatIsThere()
    {
        QFETCH(QString, kind);
        QFETCH(SkillFileContents::Status, status);
        QFETCH(QString, reason);
        const QString file = path("SKILL.md");
        if (kind == "text") {
            QVERIFY(writeBytes(file, "---\r\nname: a\r\n---\r\n"));
        } else if (kind == "latin1") {
            QVERIFY(writeBytes(file, "caf\xE9"));
        } else if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        } else if (kind == "huge") {
            QFile big(file);
            QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(maxSkillFileBytes + 1));
        } else if (kind == "private") {
            if (::geteuid() == 0)
                QSKIP("permissions do not bind root");
            QVERIFY(writeBytes(file, "secret"));
            QVERIFY(QFile::setPermissions(file, QFileDevice::WriteOwner));
        }
        const SkillFileContents contents = loadSkillFile(file);
        QCOMPARE(contents.status, status);
        QCOMPARE(contents.reason, reason);
        if (status == SkillFileContents::Status::Ok) {
            QCOMPARE(contents.text, QStringLiteral("---\nname: a\n---\n"));
            QCOMPARE(contents.bytes, QByteArray("---\r\nname: a\r\n---\r\n"));
            QVERIFY(contents.layout.crlf);
        }
    }

    void comparingWithTheDisk_data()
    {
        QTest::addColumn<QByteArray>("onDisk"); // empty: no file
        QTest::addColumn<bool>("hadFile");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<DiskComparison>("comparison");
        QTest::newRow("the same bytes") << QByteArray("a") << true << QByteArray("a") << DiskComparison::Same;
        QTest::newRow("other bytes") << QByteArray("b") << true << QByteArray("a") << DiskComparison::Changed;
        QTest::newRow("a file that went away") << QByteArray() << true << QByteArray("a") << DiskComparison::Gone;
        QTest::newRow("still no file") << QByteArray() << false << QByteArray() << DiskComparison::Same;
        QTest::newRow("a file where there was none") << QByteArray("a") << false << QByteArray() << DiskComparison::Changed;
    }

    void comparingWithTheDisk()
    {
        QFETCH(QByteArray, onDisk);
        QFETCH(bool, hadFile);
        QFETCH(QByteArray, expected);
        QFETCH(DiskComparison, comparison);
        const QString file = path("SKILL.md");
        if (!onDisk.isEmpty())
            QVERIFY(writeBytes(file, onDisk));
        QCOMPARE(compareWithDisk(file, hadFile ? std::optional<QByteArray>(expected) : std::nullopt), comparison);
    }

    void writingReplacesTheFileAndKeepsItsPermissions_data()
    {
        QTest::addColumn<int>("mode"); // of the file replaced; -1: none yet
        QTest::addColumn<int>("expected");
        QTest::newRow("read and write for the owner only") << 0600 << 0600;
        QTest::newRow("readable by the group") << 0640 << 0640;
        QTest::newRow("an executable file stays executable") << 0755 << 0755;
        QTest::newRow("a new file gets the usual permissions") << -1 << 0644;
    }

    void writingReplacesTheFileAndKeepsItsPermissions()
    {
        QFETCH(int, mode);
        QFETCH(int, expected);
        const QString file = path("skill/SKILL.md");
        QVERIFY(QDir().mkpath(path("skill")));
        if (mode >= 0) {
            QVERIFY(writeBytes(file, "old"));
            QCOMPARE(::chmod(QFile::encodeName(file).constData(), mode_t(mode)), 0);
        }
        const mode_t mask = ::umask(022);
        QString error;
        const bool written = writeSkillFile(file, "new text", &error);
        ::umask(mask);
        QVERIFY2(written, qPrintable(error));
        QCOMPARE(TestFiles::readFile(file), QByteArray("new text"));
        QCOMPARE(int(statOf(file).st_mode & 07777), expected);
        QCOMPARE(strays(path("skill"), {"SKILL.md"}), QStringList());
    }

    // Harnesses share one skill through links: the edit must reach the shared
    // file and every link must stay a link.
    void writingThroughLinksChangesTheirTarget_data()
    {
        QTest::addColumn<QStringList>("links"); // each "link -> target", made in order
        QTest::addColumn<QString>("written");   // the path the editor writes to
        QTest::addColumn<QString>("changed");   // the regular file that must get the text
        QTest::newRow("an absolute link")
            << QStringList{"claude/SKILL.md -> @/shared/SKILL.md"} << "claude/SKILL.md" << "shared/SKILL.md";
        QTest::newRow("a relative link") << QStringList{"claude/SKILL.md -> ../shared/SKILL.md"} << "claude/SKILL.md"
                                         << "shared/SKILL.md";
        QTest::newRow("a chain of two links")
            << QStringList{"middle/SKILL.md -> ../shared/SKILL.md", "claude/SKILL.md -> ../middle/SKILL.md"}
            << "claude/SKILL.md" << "shared/SKILL.md";
        QTest::newRow("a link to the skill's folder")
            << QStringList{"claude/skill -> ../shared"} << "claude/skill/SKILL.md" << "shared/SKILL.md";
    }

    void writingThroughLinksChangesTheirTarget()
    {
        QFETCH(QStringList, links);
        QFETCH(QString, written);
        QFETCH(QString, changed);
        QVERIFY(writeBytes(path("shared/SKILL.md"), "old"));
        QVERIFY(QDir().mkpath(path("claude")));
        QVERIFY(QDir().mkpath(path("middle")));
        QStringList linkPaths;
        for (const QString &link : links) {
            const QStringList parts = link.split(QStringLiteral(" -> "));
            const QString target = QString(parts.at(1)).replace(u'@', m_dir->path());
            QCOMPARE(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path(parts.at(0))).constData()), 0);
            linkPaths.append(path(parts.at(0)));
        }
        QString error;
        QVERIFY2(writeSkillFile(path(written), "new", &error), qPrintable(error));
        QCOMPARE(TestFiles::readFile(path(changed)), QByteArray("new"));
        for (const QString &link : linkPaths)
            QVERIFY2(S_ISLNK(statOf(link, false).st_mode), qPrintable(link));
        QCOMPARE(strays(path("claude"), QStringList{"SKILL.md", "skill"}), QStringList());
    }

    void aLinkLeavingItsFolderIsNamedBeforeASave_data()
    {
        QTest::addColumn<QStringList>("links"); // each "link -> target", made in order
        QTest::addColumn<QString>("written");   // the path the editor writes to
        QTest::addColumn<QString>("outside");   // where the save would land; empty: inside
        QTest::addColumn<QString>("shown");     // what the card says the file links to; empty: no link
        QTest::newRow("a plain file in the project")
            << QStringList{} << "project/plain/SKILL.md" << "" << "";
        QTest::newRow("a link to another file of the project")
            << QStringList{"project/SKILL.md -> @/project/docs/real.md"} << "project/SKILL.md" << ""
            << "project/docs/real.md";
        QTest::newRow("a link to a profile outside the project")
            << QStringList{"project/SKILL.md -> ../home/.profile"} << "project/SKILL.md" << "home/.profile"
            << "home/.profile";
        QTest::newRow("a skill folder linked outside the project")
            << QStringList{"project/skill -> @/shared"} << "project/skill/SKILL.md" << "shared/SKILL.md"
            << "shared/SKILL.md";
    }

    void aLinkLeavingItsFolderIsNamedBeforeASave()
    {
        QFETCH(QStringList, links);
        QFETCH(QString, written);
        QFETCH(QString, outside);
        QFETCH(QString, shown);
        QVERIFY(writeBytes(path("project/plain/SKILL.md"), "plain"));
        QVERIFY(writeBytes(path("project/docs/real.md"), "real"));
        QVERIFY(writeBytes(path("home/.profile"), "export PATH"));
        QVERIFY(writeBytes(path("shared/SKILL.md"), "shared"));
        for (const QString &link : links) {
            const QStringList parts = link.split(QStringLiteral(" -> "));
            const QString target = QString(parts.at(1)).replace(u'@', m_dir->path());
            QCOMPARE(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path(parts.at(0))).constData()), 0);
        }
        const QString real = QFileInfo(m_dir->path()).canonicalFilePath() + u'/';
        QCOMPARE(linkTargetOutside(path(written), path("project")).value_or(QString()),
                 outside.isEmpty() ? QString() : real + outside);
        QCOMPARE(linkTarget(path(written)).value_or(QString()), shown.isEmpty() ? QString() : real + shown);
    }

    void anInterruptedSaveIsFoundAndPutRight_data()
    {
        QTest::addColumn<QString>("leftover"); // what a killed save left beside skill/SKILL.md
        QTest::addColumn<QString>("answer");   // restore, discard, or nothing
        QTest::addColumn<QByteArray>("after"); // the file, read through its other hard link
        QTest::addColumn<QStringList>("left"); // names left in the folder
        const QByteArray spliced("new text that was cut short, old text");
        QTest::newRow("an in-place save killed after the truncate is restored from its copy")
            << "copy" << "restore" << QByteArray("the whole old text of the skill") << QStringList{"SKILL.md"};
        QTest::newRow("discarding the copy keeps the file as it is")
            << "copy" << "discard" << spliced << QStringList{"SKILL.md"};
        QTest::newRow("a copy of a file that is gone is not offered")
            << "orphan copy" << "" << spliced << QStringList{".gone.md.vesk-backup-k1"};
        QTest::newRow("a stale temporary of an ordinary save is removed, a fresh one stays")
            << "temporaries" << "" << spliced << QStringList{".SKILL.md.vesk-save-new", "SKILL.md", "notes.txt"};
    }

    void anInterruptedSaveIsFoundAndPutRight()
    {
        QFETCH(QString, leftover);
        QFETCH(QString, answer);
        QFETCH(QByteArray, after);
        QFETCH(QStringList, left);
        const QByteArray spliced("new text that was cut short, old text");
        QVERIFY(writeBytes(path("skill/SKILL.md"), spliced));
        QVERIFY(QDir().mkpath(path("other")));
        QCOMPARE(::link(QFile::encodeName(path("skill/SKILL.md")).constData(),
                        QFile::encodeName(path("other/SKILL.md")).constData()), 0);
        const ino_t inode = statOf(path("skill/SKILL.md")).st_ino;
        if (leftover == "copy") {
            QVERIFY(writeBytes(path("skill/.SKILL.md.vesk-backup-k1"), "the whole old text of the skill"));
        } else if (leftover == "orphan copy") {
            QVERIFY(QFile::remove(path("skill/SKILL.md")));
            QVERIFY(writeBytes(path("skill/.gone.md.vesk-backup-k1"), "old"));
        } else {
            QVERIFY(writeBytes(path("skill/.SKILL.md.vesk-save-old"), "half"));
            QVERIFY(writeBytes(path("skill/.SKILL.md.vesk-save-new"), "half"));
            QVERIFY(writeBytes(path("skill/notes.txt"), "mine"));
            QFile old(path("skill/.SKILL.md.vesk-save-old"));
            QVERIFY(old.open(QIODevice::ReadWrite));
            QVERIFY(old.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-3600), QFileDevice::FileModificationTime));
        }

        const SaveLeftovers swept = sweepSaveLeftovers({path("skill"), path("skill/")}, std::chrono::minutes(10));
        QCOMPARE(swept.temporariesRemoved, leftover == "temporaries" ? 1 : 0);
        const QList<SaveBackup> found = swept.backups;
        QCOMPARE(found.size(), leftover == "copy" ? 1 : 0);
        QString error;
        if (answer == "restore")
            QVERIFY2(restoreSaveBackup(found.first(), &error), qPrintable(error));
        else if (answer == "discard")
            QVERIFY2(discardSaveBackup(found.first(), &error), qPrintable(error));
        QCOMPARE(TestFiles::readFile(path("other/SKILL.md")), after);
        if (leftover != "orphan copy")
            QCOMPARE(statOf(path("skill/SKILL.md")).st_ino, inode); // restored in place: still one file
        QStringList names = QDir(path("skill")).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        QCOMPARE(names, left);
    }

    // Every name of a hard-linked file sees the edit: it is written in place.
    void aHardLinkedFileKeepsItsIdentity()
    {
        QVERIFY(writeBytes(path("a/SKILL.md"), "a longer old text"));
        QVERIFY(QDir().mkpath(path("b")));
        QCOMPARE(::link(QFile::encodeName(path("a/SKILL.md")).constData(),
                        QFile::encodeName(path("b/SKILL.md")).constData()), 0);
        const ino_t inode = statOf(path("a/SKILL.md")).st_ino;
        QString error;
        QVERIFY2(writeSkillFile(path("a/SKILL.md"), "short", &error), qPrintable(error));
        QCOMPARE(TestFiles::readFile(path("a/SKILL.md")), QByteArray("short"));
        QCOMPARE(TestFiles::readFile(path("b/SKILL.md")), QByteArray("short"));
        QCOMPARE(statOf(path("a/SKILL.md")).st_ino, inode);
        QCOMPARE(statOf(path("a/SKILL.md")).st_nlink, nlink_t(2));
        QCOMPARE(strays(path("a"), {"SKILL.md"}), QStringList()); // the safety copy is gone again
    }

    // A new file would be ours; rewriting in place keeps someone else's file theirs.
    void aFileOwnedBySomeoneElseKeepsItsOwner()
    {
        if (::geteuid() != 0)
            QSKIP("only root can give a file to someone else");
        QVERIFY(writeBytes(path("skill/SKILL.md"), "old"));
        const QByteArray file = QFile::encodeName(path("skill/SKILL.md"));
        QCOMPARE(::chown(file.constData(), 65534, 65534), 0);
        QString error;
        QVERIFY2(writeSkillFile(path("skill/SKILL.md"), "new", &error), qPrintable(error));
        QCOMPARE(TestFiles::readFile(path("skill/SKILL.md")), QByteArray("new"));
        QCOMPARE(statOf(path("skill/SKILL.md")).st_uid, uid_t(65534));
        QCOMPARE(statOf(path("skill/SKILL.md")).st_gid, gid_t(65534));
        QCOMPARE(strays(path("skill"), {"SKILL.md"}), QStringList());
    }

    void failuresGiveTheSystemsMessageAndLeaveNothingBehind_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("message");
        QTest::newRow("the folder is gone") << "no folder" << "No such file or directory";
        QTest::newRow("links that go round in a circle") << "loop" << "Too many levels of symbolic links";
        QTest::newRow("a folder where the file should be") << "folder" << "Not a regular file";
        QTest::newRow("a link to a file that is gone creates nothing")
            << "dangling" << "It is a link to “@/skill/gone.md”, which does not exist.";
    }

    void failuresGiveTheSystemsMessageAndLeaveNothingBehind()
    {
        QFETCH(QString, setup);
        QFETCH(QString, message);
        QString file = path("skill/SKILL.md");
        QVERIFY(QDir().mkpath(path("skill")));
        if (setup == "no folder") {
            file = path("gone/SKILL.md");
        } else if (setup == "loop") {
            QVERIFY(QFile::link(path("skill/other.md"), file));
            QVERIFY(QFile::link(file, path("skill/other.md")));
        } else if (setup == "dangling") {
            QCOMPARE(::symlink("gone.md", QFile::encodeName(file).constData()), 0);
        } else {
            QVERIFY(QDir().mkpath(file));
        }
        QString error;
        QVERIFY(!writeSkillFile(file, "text", &error));
        QCOMPARE(error, QString(message).replace(u'@', m_dir->path()));
        QCOMPARE(strays(path("skill"), {"SKILL.md", "other.md"}), QStringList());
    }
};

VESK_TEST_GUILESS_MAIN(TestSkillFile)
#include "tst_skillfile.moc"
