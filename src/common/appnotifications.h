#pragma once

#include <QObject>

// The application-wide notices that one part of Vesk posts and others observe.
class AppNotifications final : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

Q_SIGNALS:
    // The custom scan directories were changed in the settings.
    void customScanPathsChanged();
    // Check rules were turned on or off in the settings.
    void checkRulesChanged();
};
