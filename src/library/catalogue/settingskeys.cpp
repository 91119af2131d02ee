#include "settingskeys.h"

#include <QSettings>

namespace {

QStringList readStringList(const char *key)
{
    const QSettings settings;
    const QVariant value = settings.value(QLatin1String(key));
    if (value.typeId() == QMetaType::QStringList || value.typeId() == QMetaType::QString)
        return value.toStringList();
    if (value.typeId() == QMetaType::QVariantList) {
        QStringList paths;
        for (const QVariant &item : value.toList()) {
            if (item.typeId() != QMetaType::QString)
                return {};
            paths.append(item.toString());
        }
        return paths;
    }
    return {};
}

} // namespace

QStringList readCustomScanPaths()
{
    return readStringList(SettingsKeys::customScanPaths);
}

QStringList readDisabledCheckRules()
{
    return readStringList(SettingsKeys::disabledCheckRules);
}
