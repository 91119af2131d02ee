#include "library/catalogue/homepath.h"

#include <QDir>

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
