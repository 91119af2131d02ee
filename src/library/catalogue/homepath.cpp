#include "library/catalogue/homepath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <pwd.h>
#include <unistd.h>

#include <vector>

QString abbreviateHome(const QString &path)
{
    return abbreviateHome(path, QDir::homePath());
}

QString abbreviateHome(const QString &path, const QString &givenHome)
{
    QString home = givenHome;
    while (home.size() > 1 && home.endsWith(QLatin1Char('/')))
        home.chop(1);
    if (home.isEmpty() || home == QLatin1String("/"))
        return path;
    if (path == home)
        return QStringLiteral("~");
    if (path.startsWith(home) && path.at(home.size()) == QLatin1Char('/'))
        return QLatin1Char('~') + path.mid(home.size());
    return path;
}

HomeChoice chooseHome(const QByteArray &variable, const QString &accountHome)
{
    if (variable.isEmpty()) {
        if (accountHome.isEmpty() || !QDir::isAbsolutePath(accountHome))
            return {{}, QCoreApplication::translate("HomePath", "HOME is not set and the account has no home folder; "
                                                                "set HOME to the full path of your home folder.")};
        return {QDir::cleanPath(accountHome), {}};
    }
    const QString home = QFile::decodeName(variable);
    if (!QDir::isAbsolutePath(home))
        return {{}, QCoreApplication::translate("HomePath", "HOME is \"%1\", which is not a full path; set it to "
                                                            "the full path of your home folder (it starts with /).")
                        .arg(home)};
    return {home, {}};
}

QString accountHome()
{
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
    passwd entry {};
    passwd *found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir)
        return {};
    return QFile::decodeName(found->pw_dir);
}

bool settleHome(QString *error)
{
    const QByteArray variable = qgetenv("HOME");
    const HomeChoice choice = chooseHome(variable, variable.isEmpty() ? accountHome() : QString());
    if (choice.home.isEmpty()) {
        if (error)
            *error = choice.error;
        return false;
    }
    if (variable.isEmpty())
        qputenv("HOME", QFile::encodeName(choice.home));
    return true;
}
