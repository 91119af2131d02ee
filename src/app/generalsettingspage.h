#pragma once

#include <QWidget>

class Updater;

// The General tab: the harness new skills start with, and whether Vesk looks
// for updates by itself.
class GeneralSettingsPage final : public QWidget
{
    Q_OBJECT

public:
    explicit GeneralSettingsPage(Updater &updater, QWidget *parent = nullptr);
};
