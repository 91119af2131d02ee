#include "app/windowtitle.h"

#include <QCoreApplication>

namespace {

constexpr qsizetype longestName = 80;

} // namespace

QString windowTitleFor(const QString &skillName)
{
    QString name = skillName.simplified();
    if (name.isEmpty())
        return QStringLiteral("Vesk[*]");
    if (name.size() > longestName)
        name = name.left(longestName - 1) + QChar(0x2026);
    // Qt reads "[*]" as the place of the modified mark; doubled, it is shown as is.
    name.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    return QCoreApplication::translate("ContentView", "%1[*] — Vesk").arg(name);
}
