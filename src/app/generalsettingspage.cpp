#include "app/generalsettingspage.h"

#include "app/settingslabels.h"
#include "app/updater.h"
#include "common/palettecolors.h"
#include "library/catalogue/settingskeys.h"
#include "library/catalogue/toolsource.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QSettings>
#include <QStyle>
#include <QVBoxLayout>

GeneralSettingsPage::GeneralSettingsPage(Updater &updater, QWidget *parent)
    : QWidget(parent)
{
    auto *harness = new QComboBox;
    harness->setObjectName(QStringLiteral("defaultHarness"));
    for (ToolSource tool : Tools::allCases())
        harness->addItem(Tools::displayName(tool), Tools::rawValue(tool));
    const QString toolKey = QLatin1String(SettingsKeys::defaultTool);
    const int stored = harness->findData(QSettings().value(toolKey).toString());
    if (stored >= 0)
        harness->setCurrentIndex(stored);
    connect(harness, &QComboBox::currentIndexChanged, this,
            [harness, toolKey] { QSettings().setValue(toolKey, harness->currentData()); });

    auto *automatic = new QCheckBox(tr("Check for updates automatically"));
    automatic->setObjectName(QStringLiteral("automaticUpdates"));
    automatic->setChecked(updater.automaticallyChecksForUpdates());
    connect(automatic, &QCheckBox::toggled, &updater, &Updater::setAutomaticallyChecksForUpdates);
    connect(&updater, &Updater::automaticallyChecksForUpdatesChanged, automatic, &QCheckBox::setChecked);

    // Say plainly what turning it on means: which server is asked, and how often.
    const QString host = updater.feedUrl().host();
    QLabel *explanation = colouredLabel(
        tr("Once a day, Vesk asks %1 whether a newer version exists. Nothing about you or your skills "
           "is sent. When this is off, Vesk asks only when you choose Check for Updates.")
            .arg(host.isEmpty() ? updater.feedUrl().toDisplayString() : host),
        PaletteColors::secondaryLabel(palette()), 11);
    explanation->setWordWrap(true);

    auto *form = new QFormLayout;
    form->addRow(tr("Default harness for new skills"), harness);

    // The explanation lines up with the check box's text, as its second line.
    auto *explained = new QVBoxLayout;
    explained->setContentsMargins(style()->pixelMetric(QStyle::PM_IndicatorWidth)
                                      + style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing),
                                  0, 0, 0);
    explained->addWidget(explanation);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addSpacing(12);
    layout->addWidget(automatic);
    layout->addLayout(explained);
    layout->addStretch();
}
