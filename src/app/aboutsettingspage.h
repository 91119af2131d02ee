#pragma once

#include <QWidget>

class Updater;

// The About tab: icon, name, tagline, version, the update check and the web
// site, the maker and the licence.
class AboutSettingsPage final : public QWidget
{
    Q_OBJECT

public:
    explicit AboutSettingsPage(Updater &updater, QWidget *parent = nullptr);
};
