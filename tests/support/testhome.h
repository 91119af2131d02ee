#pragma once

// Every test process runs against a throw-away home directory: HOME and the XDG
// variables point into a QTemporaryDir before Qt reads any of them, so no test can
// touch the real home of whoever runs the suite, nor its desktop session.

#include <QByteArray>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include <cstdlib>

class TemporaryHome final
{
public:
    TemporaryHome()
    {
        Q_ASSERT(m_dir.isValid());
        const QByteArray root = QFile::encodeName(m_dir.path());
        setenv("HOME", root.constData(), 1);
        setenv("XDG_CONFIG_HOME", (root + "/.config").constData(), 1);
        setenv("XDG_DATA_HOME", (root + "/.local/share").constData(), 1);
        setenv("XDG_CACHE_HOME", (root + "/.cache").constData(), 1);
        setenv("XDG_STATE_HOME", (root + "/.local/state").constData(), 1);
        // Nor the desktop's session bus: a test that wants one starts its own
        // (privatebus.h) and points this at it before first use.
        setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + root + "/no-session-bus").constData(), 1);
        QStandardPaths::setTestModeEnabled(true);
        // QSettings settles its folder once, at first use; a fixture that points
        // HOME elsewhere for a while would otherwise leave the settings file in a
        // folder of its own that outlives it. Pin it to this home.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    }

    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// Like QTEST_MAIN / QTEST_GUILESS_MAIN, but with the temporary home in place first.
#define VESK_TEST_MAIN_WITH(AppType, TestObject)                                   \
    int main(int argc, char **argv)                                              \
    {                                                                            \
        TemporaryHome temporaryHome;                                             \
        AppType app(argc, argv);                                                 \
        app.setOrganizationName(QStringLiteral("Vesk"));                         \
        app.setApplicationName(QStringLiteral("Vesk"));                          \
        TestObject tc;                                                           \
        QTEST_SET_MAIN_SOURCE_PATH                                               \
        return QTest::qExec(&tc, argc, argv);                                    \
    }

#define VESK_TEST_GUILESS_MAIN(TestObject) VESK_TEST_MAIN_WITH(QCoreApplication, TestObject)
#define VESK_TEST_MAIN(TestObject) VESK_TEST_MAIN_WITH(QApplication, TestObject)
