#include "library/records/artifactcache.h"
#include "library/store/modelcontainer.h"
#include "library/store/modelcontext.h"
#include "library/records/skill.h"
#include "library/records/skillcollection.h"
#include "library/scan/skillscanner.h"
#include "sidesql.h"
#include "skillfiles.h"
#include "testhome.h"
#include "veskprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest/QtTest>

#include <unistd.h>

namespace {

using TestFiles::sqlOnSide;

QJsonArray parseList(const VeskRun &run)
{
    return QJsonDocument::fromJson(run.out).array();
}

} // namespace

// Several processes on one library: real `vesk list` processes, and a context and
// scanner in this process standing in for an open window.
class TestSharedLibrary final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;

    QString home(const QString &relative) const { return m_home->path() + '/' + relative; }
    QString storePath() const { return home(".local/share/Vesk/Vesk/vesk.sqlite"); }

    void writeSkill(const QString &name)
    {
        TestFiles::writeSkill(home(".claude/skills/" + name + "/SKILL.md"), name.toUtf8());
    }

private Q_SLOTS:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        qputenv("HOME", QFile::encodeName(m_home->path()));
    }

    void twoListsStartedTogetherOnANewLibraryBothSucceed()
    {
        for (int round = 0; round < 12; ++round) {
            m_home = std::make_unique<QTemporaryDir>();
            writeSkill("alpha");
            writeSkill("beta");
            QProcess first;
            QProcess second;
            startVesk(first, m_home->path(), {"list", "--json"});
            startVesk(second, m_home->path(), {"list", "--json"});
            const VeskRun a = finishVesk(first);
            const VeskRun b = finishVesk(second);
            QVERIFY2(a.exitCode == 0, a.err.constData());
            QVERIFY2(b.exitCode == 0, b.err.constData());
            QCOMPARE(parseList(a).size(), 2);
            QCOMPARE(parseList(b).size(), 2);
            QCOMPARE(sqlOnSide(storePath(), "SELECT count(*) FROM skill"), QStringLiteral("2"));
        }
    }

    void aWindowKeepsSavingAfterAListRecordedTheSameSkills()
    {
        writeSkill("alpha");
        writeSkill("beta");
        QString error;
        auto window = ModelContainer::open(storePath(), &error); // the window is open first
        QVERIFY2(window, qPrintable(error));
        ModelContext &context = *window->mainContext();
        ArtifactCache artifacts;
        SkillScanner scanner(context, artifacts);

        QCOMPARE(runVesk(m_home->path(), {"list"}).exitCode, 0); // records both skills
        scanner.scanAll(); // the window meets the rows the list wrote
        QVERIFY2(context.lastSaveError().isEmpty(), qPrintable(context.lastSaveError()));
        QVERIFY(!context.hasChanges());

        Skill *alpha = context.skillWithResolvedPath(QFileInfo(home(".claude/skills/alpha/SKILL.md")).canonicalFilePath());
        QVERIFY(alpha);
        alpha->setIsFavorite(true);
        SkillCollection *work = context.insert(std::make_unique<SkillCollection>("Work", "folder", 0));
        work->addSkill(context.skills().last());
        QVERIFY2(context.save(&error), qPrintable(error));

        const VeskRun run = runVesk(m_home->path(), {"list", "--json"});
        QCOMPARE(run.exitCode, 0);
        const QJsonArray skills = parseList(run);
        QCOMPARE(skills.size(), 2);
        QCOMPARE(skills.at(0).toObject().value("isFavorite").toBool(), true);
        QCOMPARE(skills.at(1).toObject().value("collections").toArray(), QJsonArray{"Work"});

        // And what the list changes, the window takes in.
        writeSkill("gamma");
        QCOMPARE(runVesk(m_home->path(), {"list"}).exitCode, 0);
        QVERIFY(context.refresh());
        QCOMPARE(context.skills().size(), 3);
    }

    void aListWhoseLibraryFileIsReadOnlyExitsWithTheStoresMessage()
    {
        writeSkill("alpha");
        QCOMPARE(runVesk(m_home->path(), {"list"}).exitCode, 0);
        writeSkill("beta");
        // The file is read-only; its folder is not, so SQLite can still open it and
        // read. Root writes read-only files regardless, so the list runs as nobody.
        QFile::setPermissions(storePath(), QFileDevice::ReadOwner | QFileDevice::ReadOther);
        const QFileDevice::Permissions open = QFileDevice::ReadOwner | QFileDevice::WriteOwner
            | QFileDevice::ExeOwner | QFileDevice::ReadOther | QFileDevice::ExeOther;
        QFile::setPermissions(m_home->path(), open);
        QFile::setPermissions(QFileInfo(storePath()).absolutePath(), open | QFileDevice::WriteOther);
        const auto asNobody = [] {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                _exit(99);
        };
        QProcess process;
        startVesk(process, m_home->path(), {"list"}, "no-such-platform", asNobody);
        const VeskRun run = finishVesk(process);
        QVERIFY2(run.exitCode == 1, run.err.constData());
        QVERIFY2(run.err.contains("could not be saved") && run.err.contains("readonly"), run.err.constData());
        QVERIFY(run.out.contains("alpha") && run.out.contains("beta")); // what it found is still shown
        QCOMPARE(sqlOnSide(storePath(), "PRAGMA integrity_check"), QStringLiteral("ok"));
        QCOMPARE(sqlOnSide(storePath(), "SELECT count(*) FROM skill"), QStringLiteral("1"));
    }
};

VESK_TEST_GUILESS_MAIN(TestSharedLibrary)
#include "tst_sharedlibrary.moc"
