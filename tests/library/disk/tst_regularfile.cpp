#include "library/disk/regularfile.h"
#include "testhome.h"

#include <QtTest/QtTest>

#include <sys/stat.h>
#include <unistd.h>

// Reading what the disk claims is a skill file must never hang, never swallow a
// device and never take more than the limit.
class TestRegularFile final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    void write(const QString &name, const QByteArray &bytes) const
    {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        write(QStringLiteral("skill.md"), "# Hello\n");
        write(QStringLiteral("empty.md"), QByteArray());
        write(QStringLiteral("ten.md"), QByteArray(10, 'x'));
        write(QStringLiteral("eleven.md"), QByteArray(11, 'x'));
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder")));
        QCOMPARE(::mkfifo(QFile::encodeName(path(QStringLiteral("pipe.md"))).constData(), 0600), 0);
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path(QStringLiteral("zero.md"))));
        QVERIFY(QFile::link(QStringLiteral("/proc/self/status"), path(QStringLiteral("proc.md"))));
        QVERIFY(QFile::link(path(QStringLiteral("skill.md")), path(QStringLiteral("link.md"))));
        QVERIFY(QFile::link(path(QStringLiteral("gone.md")), path(QStringLiteral("dangling.md"))));
    }

    void reads_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("bytes");
        using S = RegularFileRead::Status;
        QTest::newRow("a regular file is read whole") << "skill.md" << int(S::Ok) << QByteArray("# Hello\n");
        QTest::newRow("an empty file is read as empty") << "empty.md" << int(S::Ok) << QByteArray();
        QTest::newRow("a link to a regular file is followed") << "link.md" << int(S::Ok) << QByteArray("# Hello\n");
        QTest::newRow("a file exactly at the limit is read") << "ten.md" << int(S::Ok) << QByteArray(10, 'x');
        QTest::newRow("a file one byte over the limit is refused") << "eleven.md" << int(S::TooLarge) << QByteArray();
        QTest::newRow("a missing file is missing") << "nothing.md" << int(S::Missing) << QByteArray();
        QTest::newRow("a dangling link is missing") << "dangling.md" << int(S::Missing) << QByteArray();
        QTest::newRow("a folder is not a regular file") << "folder" << int(S::NotRegular) << QByteArray();
        QTest::newRow("a named pipe is refused without waiting for a writer") << "pipe.md" << int(S::NotRegular) << QByteArray();
        QTest::newRow("a link to a device is refused") << "zero.md" << int(S::NotRegular) << QByteArray();
        QTest::newRow("a link to a file the kernel makes up is refused") << "proc.md" << int(S::Synthetic) << QByteArray();
    }

    void reads()
    {
        QFETCH(QString, name);
        QFETCH(int, status);
        QFETCH(QByteArray, bytes);
        const RegularFileRead read = readRegularFile(path(name), 10);
        QCOMPARE(int(read.status), status);
        QCOMPARE(read.bytes, bytes);
    }

    void unreadableFileGivesTheSystemsWords()
    {
        if (::geteuid() == 0)
            QSKIP("root reads every file regardless of its permissions");
        write(QStringLiteral("locked.md"), "secret");
        QVERIFY(QFile::setPermissions(path(QStringLiteral("locked.md")), QFileDevice::WriteOwner));
        const RegularFileRead read = readRegularFile(path(QStringLiteral("locked.md")));
        QCOMPARE(read.status, RegularFileRead::Status::Unreadable);
        QVERIFY(!read.errorText.isEmpty());
    }
};

VESK_TEST_GUILESS_MAIN(TestRegularFile)
#include "tst_regularfile.moc"
