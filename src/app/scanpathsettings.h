#pragma once

#include <QString>
#include <QStringList>

class AppNotifications;

// The custom scan directories as the settings window edits them: every change is
// written to QSettings at once and announced through AppNotifications, so the
// scanner picks it up without a restart.
class ScanPathSettings final
{
public:
    explicit ScanPathSettings(AppNotifications &notifications);

    // The stored directories; a missing or malformed value gives an empty list.
    QStringList load() const;

    // Appends the normalised `chosenPath` unless `paths` holds it already. Returns
    // false, and neither stores nor posts anything, when there was nothing to add.
    bool add(QStringList &paths, const QString &chosenPath);

    // Drops every entry equal to `path`, keeping the order of the rest.
    void remove(QStringList &paths, const QString &path);

    // Absolute and clean, without a trailing "/".
    static QString normalised(const QString &path);

private:
    void store(const QStringList &paths);

    AppNotifications &m_notifications;
};
