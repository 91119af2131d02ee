#include "cli/processstart.h"

#include <QCoreApplication>

void setApplicationNames()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Vesk"));
    QCoreApplication::setApplicationName(QStringLiteral("Vesk"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VESK_VERSION));
}

QStringList argumentList(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}
