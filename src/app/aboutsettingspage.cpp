#include "app/aboutsettingspage.h"

#include "cli/buildinfo.h"
#include "app/settingslabels.h"
#include "app/updater.h"
#include "common/palettecolors.h"
#include "common/toolicon.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

AboutSettingsPage::AboutSettingsPage(Updater &updater, QWidget *parent)
    : QWidget(parent)
{
    const QPalette pal = palette();

    auto *icon = new QLabel;
    icon->setPixmap(applicationIcon().pixmap(64, 64));

    auto *name = new QLabel(QStringLiteral("Vesk"));
    name->setFont(designFont(name->font(), 20, true));

    QLabel *version = colouredLabel(currentVersionLine(), PaletteColors::tertiaryLabel(pal), 11);
    version->setObjectName(QStringLiteral("version"));
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *check = new QPushButton(tr("Check for updates"));
    check->setObjectName(QStringLiteral("checkForUpdates"));
    check->setEnabled(updater.canCheckForUpdates());
    connect(&updater, &Updater::canCheckForUpdatesChanged, check, &QPushButton::setEnabled);
    connect(check, &QPushButton::clicked, &updater, &Updater::checkForUpdates);

    auto *website = new QPushButton(tr("Website"));
    website->setObjectName(QStringLiteral("website"));
    website->setToolTip(BuildInfo::website().toDisplayString());
    connect(website, &QPushButton::clicked, this, [] { QDesktopServices::openUrl(BuildInfo::website()); });

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    buttons->setAlignment(Qt::AlignHCenter);
    for (QPushButton *button : {check, website}) {
        button->setFont(designFont(button->font(), 11));
        buttons->addWidget(button);
    }

    QLabel *licence = colouredLabel(licenceLine(), PaletteColors::quaternaryLabel(pal), 10);
    licence->setObjectName(QStringLiteral("licence"));

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(14);
    layout->addStretch();
    layout->addWidget(icon, 0, Qt::AlignHCenter);
    layout->addWidget(name, 0, Qt::AlignHCenter);
    layout->addWidget(colouredLabel(tr("Your AI skillbook"), PaletteColors::secondaryLabel(pal), 12), 0,
                      Qt::AlignHCenter);
    layout->addWidget(version, 0, Qt::AlignHCenter);
    layout->addLayout(buttons);
    // Maker and licence are one small-print block.
    auto *smallPrint = new QVBoxLayout;
    smallPrint->setSpacing(2);
    smallPrint->addWidget(colouredLabel(tr("Made by Dravlen"), PaletteColors::quaternaryLabel(pal), 10), 0,
                          Qt::AlignHCenter);
    smallPrint->addWidget(licence, 0, Qt::AlignHCenter);
    layout->addLayout(smallPrint);
    layout->addStretch();
}
