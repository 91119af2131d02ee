#pragma once

#include <QWidget>

class AppNotifications;
class QPushButton;
class QTreeWidget;

// The Checks tab: every rule the checker has, with its level and what it looks
// for, each with a check box. A rule turned off is stored at once and its findings
// leave the window (the sidebar's count, the rows' marks, the card) at once, for
// people who use a tool's extensions on purpose.
class CheckSettingsPage final : public QWidget
{
    Q_OBJECT

public:
    explicit CheckSettingsPage(AppNotifications &notifications, QWidget *parent = nullptr);

    QTreeWidget *rules() const { return m_rules; }
    QPushButton *turnAllOnButton() const { return m_turnAllOn; }

    // Reads the stored choice again (another window may have changed it).
    void reload();

private:
    void store();

    AppNotifications &m_notifications;
    QTreeWidget *m_rules = nullptr;
    QPushButton *m_turnAllOn = nullptr;
    bool m_loading = false;
};
