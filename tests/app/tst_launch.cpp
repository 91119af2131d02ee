#include "app/contentview.h"
#include "app/dbusinstancechannel.h"
#include "app/displayguard.h"
#include "app/instancechannel.h"
#include "app/openrequesthandler.h"
#include "cli/skilllookup.h"
#include "app/socketinstancechannel.h"
#include "app/startfailure.h"
#include "app/veskapp.h"
#include "common/appstate.h"
#include "damagedstore.h"
#include "library/records/skill.h"
#include "messageboxes.h"
#include "privatebus.h"
#include "skillfiles.h"
#include "testhome.h"
#include "veskprocess.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocalSocket>
#include <QMessageBox>
#include <QProcess>
#include <QtTest/QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using TestFiles::writeSkill;

std::unique_ptr<Skill> makeSkill(const QString &filePath, const QString &name, bool isDirectory, bool isGlobal)
{
    return std::make_unique<Skill>(filePath, QFileInfo(filePath).canonicalFilePath(), name, QString(), QString(),
                                   Skill::Frontmatter{}, ToolSource::Claude, isDirectory, isGlobal,
                                   QDateTime::currentDateTime(), 0);
}

} // namespace

// Launches the real executable beside a running instance, over the session bus
// and over the local socket used where there is none.
class TestLaunch final : public QObject
{
    Q_OBJECT

    QString m_home;
    QTemporaryDir m_runtime;
    std::unique_ptr<PrivateBus> m_bus;

    QString home(const QString &relative) const { return m_home + QLatin1Char('/') + relative; }

    // The library a child sees: our home, and the data folder under our XDG_DATA_HOME.
    QString libraryKey(const QString &homePath) const
    {
        return InstanceKey::forLibrary(homePath, homePath + QStringLiteral("/.local/share/Vesk/Vesk"));
    }

    // Our runtime folder for every child, so that instances meet; without a bus the
    // address leads nowhere, as on a machine that has none.
    QProcessEnvironment childEnvironment(const QString &transport, const QString &homePath) const
    {
        QProcessEnvironment environment = veskEnvironment(homePath, "offscreen");
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                           transport == QLatin1String("bus") ? m_bus->address()
                                                             : QStringLiteral("unix:path=") + m_runtime.path() + QStringLiteral("/no-bus"));
        return environment;
    }

    // Runs vesk to its end while this process's event loop keeps serving requests.
    VeskRun launch(const QString &transport, const QStringList &arguments, const QString &homePath = {},
                   const QString &workingDirectory = {})
    {
        QProcess process;
        process.setProcessEnvironment(childEnvironment(transport, homePath.isEmpty() ? m_home : homePath));
        if (!workingDirectory.isEmpty())
            process.setWorkingDirectory(workingDirectory);
        process.start(QStringLiteral(VESK_EXECUTABLE), arguments);
        VeskRun run;
        if (!process.waitForStarted(30000) || !QSignalSpy(&process, &QProcess::finished).wait(90000)) {
            process.kill();
            process.waitForFinished();
            return run;
        }
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.err = process.readAllStandardError();
        return run;
    }

    std::unique_ptr<InstanceChannel> channelFor(const QString &transport, const QString &key) const
    {
        if (transport == QLatin1String("bus"))
            return std::make_unique<DBusInstanceChannel>(m_bus->connect(QStringLiteral("instance")), InstanceKey::busName(key));
        return std::make_unique<SocketInstanceChannel>(InstanceKey::socketPath(key));
    }

    void addTransportRows()
    {
        QTest::addColumn<QString>("transport");
        QTest::newRow("over the session bus") << QStringLiteral("bus");
        QTest::newRow("over a local socket where there is no bus") << QStringLiteral("socket");
    }

    void skipWithoutBus(const QString &transport)
    {
        if (transport == QLatin1String("bus") && m_bus->address().isEmpty())
            QSKIP("dbus-daemon is not installed (Debian package dbus-daemon)");
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_home = QDir::homePath();
        QVERIFY(m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        m_bus = std::make_unique<PrivateBus>();
        writeSkill(home(".claude/skills/code-review/SKILL.md"), "code-review");
        writeSkill(home(".claude/skills/deploy/SKILL.md"), "Ship it");
        writeSkill(home(".cursor/rules/react.mdc"), "react");
    }

    void cleanupTestCase() { m_bus.reset(); }

    void findsSkillsByNameOrPath_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("workingDirectory");
        QTest::addColumn<QString>("expected"); // file of the skill found, relative to home; empty: none
        const QString review = QStringLiteral("lib/review/SKILL.md");
        QTest::newRow("the exact name") << "code-review" << "" << review;
        QTest::newRow("the name in another case when none matches exactly") << "Code-Review" << "" << review;
        QTest::newRow("the exact case wins over another case") << "Deploy" << "" << "lib/Deploy.md";
        QTest::newRow("a folder name stands for a skill named otherwise") << "pdf" << "" << "lib/pdf/SKILL.md";
        QTest::newRow("a file name without its extension") << "notes" << "" << "lib/notes.md";
        QTest::newRow("a global skill wins over a project one of the same name") << "deploy" << "" << "lib/deploy.md";
        QTest::newRow("the absolute path of the skill file") << "@/lib/review/SKILL.md" << "" << review;
        QTest::newRow("a path relative to where vesk was started") << "review/SKILL.md" << "@/lib" << review;
        QTest::newRow("a skill folder stands for its SKILL.md") << "@/lib/review" << "" << review;
        QTest::newRow("a path through a symbolic link") << "@/linked/SKILL.md" << "" << review;
        QTest::newRow("a path starting with ~/") << "~/lookup/lib/pdf" << "" << "lib/pdf/SKILL.md";
        QTest::newRow("a second installation of the same skill") << "@/copy/SKILL.md" << "" << review;
        QTest::newRow("a folder named like a skill but holding none finds it by name")
            << "code-review" << "@/cwd" << review;
        QTest::newRow("an unknown name") << "nothing-like-it" << "" << "";
        QTest::newRow("a file that is no skill") << "@/lib/unrelated.txt" << "" << "";
        QTest::newRow("an empty argument") << "" << "" << "";
    }

    void findsSkillsByNameOrPath()
    {
        QFETCH(QString, argument);
        QFETCH(QString, workingDirectory);
        QFETCH(QString, expected);
        const QString root = home(QStringLiteral("lookup"));
        const auto at = [&root](const QString &relative) { return root + QLatin1Char('/') + relative; };
        for (const char *file : {"lib/review/SKILL.md", "lib/pdf/SKILL.md", "lib/Deploy.md", "lib/deploy.md",
                                 "project/deploy.md", "lib/notes.md", "lib/unrelated.txt", "copy/SKILL.md"})
            writeSkill(at(QLatin1String(file)), "x");
        QDir().mkpath(at(QStringLiteral("cwd/code-review")));
        QFile::link(at(QStringLiteral("lib/review")), at(QStringLiteral("linked")));

        std::vector<std::unique_ptr<Skill>> owned;
        owned.push_back(makeSkill(at("lib/review/SKILL.md"), "code-review", true, true));
        owned.back()->addInstallation(at("copy/SKILL.md"), ToolSource::Cursor);
        owned.push_back(makeSkill(at("lib/pdf/SKILL.md"), "PDF Extract", true, true));
        owned.push_back(makeSkill(at("project/deploy.md"), "deploy", false, false));
        owned.push_back(makeSkill(at("lib/Deploy.md"), "Deploy", false, true));
        owned.push_back(makeSkill(at("lib/deploy.md"), "deploy", false, true));
        owned.push_back(makeSkill(at("lib/notes.md"), "Notes to self", false, true));
        QList<Skill *> skills;
        for (const auto &skill : owned)
            skills.append(skill.get());

        argument.replace(QLatin1Char('@'), root);
        workingDirectory.replace(QLatin1Char('@'), root);
        const Skill *found = findSkill(skills, argument, workingDirectory.isEmpty() ? root : workingDirectory);
        if (expected.isEmpty()) {
            QVERIFY2(!found, qPrintable(found ? found->filePath() : QString()));
            return;
        }
        QVERIFY(found);
        QCOMPARE(found->filePath(), at(expected));
        if (expected == QLatin1String("lib/deploy.md"))
            QVERIFY(found->isGlobal());
    }

    void theRunningInstanceSelectsWhatASecondLaunchNames_data() { addTransportRows(); }

    void theRunningInstanceSelectsWhatASecondLaunchNames()
    {
        QFETCH(QString, transport);
        skipWithoutBus(transport);
        QTemporaryDir store;
        QString fatal;
        std::unique_ptr<VeskApp> app = VeskApp::create(store.filePath(QStringLiteral("vesk.sqlite")), &fatal);
        QVERIFY2(app, qPrintable(fatal));
        const std::unique_ptr<InstanceChannel> channel = channelFor(transport, libraryKey(m_home));
        VeskApp *instance = app.get();
        QCOMPARE(channel->claim([instance](const OpenRequest &request, const OpenReply &reply) {
                     handleOpenRequest(*instance, request, reply);
                 }),
                 InstanceChannel::Claim::Primary);
        AppState &state = app->state();

        // A bare launch raises a window, opening one when there is none.
        QCOMPARE(launch(transport, {}).exitCode, 0);
        QCOMPARE(app->windows().size(), 1);

        const VeskRun byName = launch(transport, {QStringLiteral("code-review")});
        QVERIFY2(byName.exitCode == 0, byName.err.constData());
        QVERIFY(state.selectedSkill());
        QCOMPARE(state.selectedSkill()->name(), QStringLiteral("code-review"));
        QCOMPARE(state.detailViewMode(), DetailViewMode::Card);

        // A relative path, read from where the launch was made, and into the editor;
        // a sidebar choice that would hide the skill gives way.
        state.setSidebarFilter(SidebarFilter::favorites());
        const VeskRun byPath = launch(transport, {QStringLiteral("--edit"), QStringLiteral("skills/deploy")}, {},
                                 home(".claude"));
        QVERIFY2(byPath.exitCode == 0, byPath.err.constData());
        QCOMPARE(state.selectedSkill()->name(), QStringLiteral("Ship it"));
        QCOMPARE(state.detailViewMode(), DetailViewMode::Editor);
        QCOMPARE(state.sidebarFilter(), SidebarFilter::all());

        // An unknown name is reported by the launch, and changes nothing here.
        const VeskRun unknown = launch(transport, {QStringLiteral("no-such-skill")});
        QCOMPARE(unknown.exitCode, 1);
        QVERIFY2(unknown.err.contains("\"no-such-skill\""), unknown.err.constData());
        QCOMPARE(unknown.err.count('\n'), 1);
        QCOMPARE(state.selectedSkill()->name(), QStringLiteral("Ship it"));

        // A name alone shows the card, though the window was left in the editor.
        QCOMPARE(state.detailViewMode(), DetailViewMode::Editor);
        const VeskRun onItsCard = launch(transport, {QStringLiteral("code-review")});
        QVERIFY2(onItsCard.exitCode == 0, onItsCard.err.constData());
        QCOMPARE(state.selectedSkill()->name(), QStringLiteral("code-review"));
        QCOMPARE(state.detailViewMode(), DetailViewMode::Card);

        // Another home is another library and another instance: it never sees ours.
        QTemporaryDir otherHome;
        const VeskRun other = launch(transport, {QStringLiteral("code-review")}, otherHome.path());
        QCOMPARE(other.exitCode, 1);
        QVERIFY2(other.err.contains("\"code-review\""), other.err.constData());
        QCOMPARE(app->windows().size(), 1);
    }

    void aRealInstanceServesLaterLaunchesAndItsLeftoversDoNotBlock_data() { addTransportRows(); }

    void aRealInstanceServesLaterLaunchesAndItsLeftoversDoNotBlock()
    {
        QFETCH(QString, transport);
        skipWithoutBus(transport);
        QTemporaryDir library;
        writeSkill(library.filePath(QStringLiteral(".claude/skills/lint/SKILL.md")), "lint");
        const QString key = libraryKey(library.path());

        QProcess first;
        first.setProcessEnvironment(childEnvironment(transport, library.path()));
        first.start(QStringLiteral(VESK_EXECUTABLE), {QStringLiteral("lint")});
        QVERIFY(first.waitForStarted(30000));
        if (transport == QLatin1String("bus")) {
            QDBusConnection bus = m_bus->connect(QStringLiteral("watcher"));
            QTRY_VERIFY_WITH_TIMEOUT(bus.interface()->isServiceRegistered(InstanceKey::busName(key)).value(), 60000);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(InstanceKey::socketPath(key)), 60000);
        }

        const VeskRun second = launch(transport, {QStringLiteral("lint")}, library.path());
        QVERIFY2(second.exitCode == 0, second.err.constData());
        const VeskRun unknown = launch(transport, {QStringLiteral("nothing")}, library.path());
        QCOMPARE(unknown.exitCode, 1);
        // The list command never goes through the window, running or not.
        const VeskRun list = launch(transport, {QStringLiteral("list")}, library.path());
        QCOMPARE(list.exitCode, 0);
        QCOMPARE(first.state(), QProcess::Running);

        // An instance that was killed leaves its socket file behind; the next launch
        // must take over instead of waiting for it.
        first.kill();
        QVERIFY(first.waitForFinished(30000));
        const VeskRun afterwards = launch(transport, {QStringLiteral("nothing")}, library.path());
        QCOMPARE(afterwards.exitCode, 1);
        QVERIFY2(afterwards.err.contains("\"nothing\""), afterwards.err.constData());
    }

    void withoutADisplayOneLineSaysSo_data()
    {
        QTest::addColumn<QString>("platform");
        QTest::addColumn<QString>("display");
        QTest::newRow("no display at all") << QString() << QString();
        QTest::newRow("an X display that is not there") << QStringLiteral("xcb") << QStringLiteral(":97");
        QTest::newRow("a platform plugin that does not exist") << QStringLiteral("no-such-platform") << QString();
    }

    void aMissingPlatformPluginNamesItsPackage_data()
    {
        QTest::addColumn<QStringList>("messages"); // Qt's start-up warnings
        QTest::addColumn<QString>("failure");      // "" for the no-session line
        QTest::addColumn<QString>("hint");
        const QString wayland = QStringLiteral(
            "vesk: the window needs Qt's \"wayland\" platform plugin, which is not installed; install the "
            "qt6-wayland package (sudo apt install qt6-wayland).");
        const QString throughXWayland = QStringLiteral(
            "vesk: Qt's \"wayland\" platform plugin is not installed, so the window goes through XWayland; "
            "install the qt6-wayland package for a native Wayland window.");
        QTest::newRow("a Wayland session without Qt's Wayland plugin")
            << QStringList{"Could not find the Qt platform plugin \"wayland\" in \"\"",
                           "could not connect to display"}
            << wayland << throughXWayland;
        QTest::newRow("the EGL flavour comes in the same package")
            << QStringList{"Could not find the Qt platform plugin \"wayland-egl\" in \"\""}
            << QString(wayland).replace("\"wayland\"", "\"wayland-egl\"")
            << QString(throughXWayland).replace("\"wayland\"", "\"wayland-egl\"");
        QTest::newRow("a plugin name Vesk knows no package for")
            << QStringList{"Could not find the Qt platform plugin \"no-such-platform\" in \"\""} << "" << "";
        QTest::newRow("no session at all") << QStringList{"could not connect to display :97"} << "" << "";
    }

    void aMissingPlatformPluginNamesItsPackage()
    {
        QFETCH(QStringList, messages);
        QFETCH(QString, failure);
        QFETCH(QString, hint);
        const QStringList missing = missingPlatformPlugins(messages);
        QCOMPARE(platformFailureMessage(missing), failure.isEmpty() ? noDisplayMessage() : failure);
        QCOMPARE(missingPluginHint(missing), hint);
    }

    // Run for real: a Wayland session with no compositor and no X server either.
    void aWaylandSessionWithoutThePluginSaysWhichPackage()
    {
        QProcessEnvironment environment = childEnvironment(QStringLiteral("socket"), m_home);
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.remove(QStringLiteral("DISPLAY"));
        environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-vesk-test-none"));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(VESK_EXECUTABLE), {QStringLiteral("code-review")});
        const VeskRun run = finishVesk(process);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err.count('\n'), 1);
        const bool pluginInstalled = QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::PluginsPath)
                                                       + QStringLiteral("/platforms/libqwayland-generic.so"));
        // With the plugin there, nothing answers; without it, the package is named.
        if (pluginInstalled)
            QCOMPARE(QString::fromUtf8(run.err), noDisplayMessage() + QLatin1Char('\n'));
        else
            QVERIFY2(run.err.contains("sudo apt install qt6-wayland"), run.err.constData());
    }

    void withoutADisplayOneLineSaysSo()
    {
        QFETCH(QString, platform);
        QFETCH(QString, display);
        QProcessEnvironment environment = childEnvironment(QStringLiteral("socket"), m_home);
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        if (!platform.isEmpty())
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        if (!display.isEmpty())
            environment.insert(QStringLiteral("DISPLAY"), display);
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(VESK_EXECUTABLE), {QStringLiteral("code-review")});
        const VeskRun run = finishVesk(process);
        QCOMPARE(run.exitCode, 1); // not -1: no abort(), no core
        QCOMPARE(QString::fromUtf8(run.err), noDisplayMessage() + QLatin1Char('\n'));
        QVERIFY(run.err.contains("vesk list"));
        QVERIFY(run.out.isEmpty());
    }

    void theSocketTrustsOnlyItsOwnUser_data()
    {
        QTest::addColumn<QString>("attack");
        QTest::newRow("a socket folder others may enter is not used") << "open folder";
        QTest::newRow("a socket folder that is a link is not used") << "linked folder";
        QTest::newRow("a socket folder of another user is not used") << "other user";
        QTest::newRow("a request declaring a 4 GB name is dropped") << "huge request";
        QTest::newRow("a connection that never finishes its request is closed") << "silent";
        QTest::newRow("an answer full of terminal escapes is printed spelled out") << "escapes";
    }

    void theSocketTrustsOnlyItsOwnUser()
    {
        QFETCH(QString, attack);
        // A runtime folder of its own, so nothing here touches the other tests' socket.
        QTemporaryDir runtime;
        const QByteArray previous = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        const QString key = libraryKey(m_home);
        const QString socket = InstanceKey::socketPath(key);
        qputenv("XDG_RUNTIME_DIR", previous);
        const QString folder = QFileInfo(socket).absolutePath();
        QVERIFY(folder != runtime.path() && folder.startsWith(runtime.path()));

        if (attack.endsWith(QLatin1String("folder")) || attack == QLatin1String("other user")) {
            if (attack == QLatin1String("open folder")) {
                QCOMPARE(::mkdir(QFile::encodeName(folder).constData(), 0700), 0);
                QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
            } else if (attack == QLatin1String("linked folder")) {
                QVERIFY(QDir().mkpath(runtime.filePath("elsewhere")));
                QVERIFY(QFile::link(runtime.filePath("elsewhere"), folder));
            } else {
                if (::geteuid() != 0)
                    QSKIP("Giving the folder to another user needs root; this test cannot switch users.");
                QCOMPARE(::mkdir(QFile::encodeName(folder).constData(), 0700), 0);
                QCOMPARE(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
            }
            SocketInstanceChannel channel(socket);
            int requests = 0;
            QCOMPARE(channel.claim([&requests](const OpenRequest &, const OpenReply &) { ++requests; }),
                     InstanceChannel::Claim::Unavailable);
            QVERIFY(!QFileInfo::exists(socket));
            QVERIFY(!QFileInfo::exists(socket + ".lock"));
            return;
        }

        SocketInstanceChannel channel(socket);
        channel.setRequestDeadline(200);
        int requests = 0;
        QCOMPARE(channel.claim([&requests](const OpenRequest &, const OpenReply &reply) {
                     ++requests;
                     reply(QStringLiteral("\x1b]0;owned\x07\x1b[2Jgone"));
                 }),
                 InstanceChannel::Claim::Primary);
        struct stat info {};
        QCOMPARE(::lstat(QFile::encodeName(folder).constData(), &info), 0);
        QCOMPARE(int(info.st_mode & 0777), 0700);

        if (attack == QLatin1String("escapes")) {
            QProcess process;
            QProcessEnvironment environment = childEnvironment(QStringLiteral("socket"), m_home);
            environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
            process.setProcessEnvironment(environment);
            process.start(QStringLiteral(VESK_EXECUTABLE), {QStringLiteral("code-review")});
            QVERIFY(process.waitForStarted(30000));
            QVERIFY(QSignalSpy(&process, &QProcess::finished).wait(90000));
            const QByteArray err = process.readAllStandardError();
            QCOMPARE(requests, 1);
            QVERIFY2(!err.contains('\x1b') && !err.contains('\x07'), err.toPercentEncoding().constData());
            QVERIFY2(err.contains("\\e]0;owned"), err.constData());
            return;
        }

        QLocalSocket attacker;
        attacker.connectToServer(socket);
        QVERIFY(attacker.waitForConnected(5000));
        if (attack == QLatin1String("huge request")) {
            QByteArray request;
            QDataStream out(&request, QIODevice::WriteOnly);
            out << quint32(1) << quint32(0xFFFFFFF0u);
            request += QByteArray(SocketInstanceChannel::maxMessageBytes + 1024, 'a');
            attacker.write(request);
        } else {
            attacker.write("\0\0");
        }
        attacker.flush();
        QTRY_COMPARE_WITH_TIMEOUT(attacker.state(), QLocalSocket::UnconnectedState, 5000);
        QCOMPARE(requests, 0);
    }

    void aDamagedStoreStopsTheOpenWindowWithoutAWrite()
    {
        // The window does not wait for the whole-file check. Meanwhile its scan finds
        // every stored skill gone and would delete them all; the damage it then finds
        // stops it with the message, and the file is as it was.
        QTemporaryDir library;
        const QString folder = library.filePath(QStringLiteral(".local/share/Vesk/Vesk"));
        QVERIFY(QDir().mkpath(folder));
        const QString store = folder + QStringLiteral("/vesk.sqlite");
        TestFiles::writeStoreWithDamagedIndex(store, true);
        if (QTest::currentTestFailed())
            return;
        const QByteArray before = TestFiles::readFile(store);

        const VeskRun run = launch(QStringLiteral("socket"), {}, library.path());
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("is damaged") && run.err.contains("move the file aside")
                     && run.err.contains(QFile::encodeName(store)),
                 run.err.constData());
        QCOMPARE(TestFiles::readFile(store), before);
        QVERIFY(!QFileInfo::exists(store + QStringLiteral("-wal")) || QFileInfo(store + QStringLiteral("-wal")).size() == 0);
    }

    void aStartThatFailsIsToldWhereTheUserLooks_data()
    {
        QTest::addColumn<bool>("windows");
        QTest::addColumn<QString>("platform");
        QTest::addColumn<bool>("dialog");
        QTest::newRow("an X display shows a dialog") << true << "xcb" << true;
        QTest::newRow("a Wayland display shows a dialog") << true << "wayland" << true;
        QTest::newRow("the offscreen platform only prints") << true << "offscreen" << false;
        QTest::newRow("the list command only prints") << false << "xcb" << false;
    }

    void aStartThatFailsIsToldWhereTheUserLooks()
    {
        QFETCH(bool, windows);
        QFETCH(QString, platform);
        QFETCH(bool, dialog);
        QCOMPARE(startFailureWantsDialog(windows, platform), dialog);
    }

    void theStartFailureDialogShowsTheReasonAsWritten()
    {
        MessageBoxAnswers answers({QMessageBox::Close});
        const QString reason = QStringLiteral("The folder \"/home/<img src=&#47;dev&#47;zero>\" could not be created.");
        QString informative;
        int plainLabels = 0;
        QTimer::singleShot(0, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            informative = box->informativeText();
            for (QLabel *label : box->findChildren<QLabel *>())
                plainLabels += !label->text().isEmpty() && label->textFormat() == Qt::PlainText;
        });
        showStartFailure(reason);
        QCOMPARE(answers.texts(), QStringList{"Vesk could not start."});
        QCOMPARE(informative, reason);
        QCOMPARE(plainLabels, 2);
    }
};

VESK_TEST_MAIN(TestLaunch)
#include "tst_launch.moc"
