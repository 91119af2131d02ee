#include "app/checksettingspage.h"

#include "app/settingslabels.h"
#include "common/appnotifications.h"
#include "common/palettecolors.h"
#include "library/catalogue/settingskeys.h"
#include "library/checks/rules.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int ruleIdRole = Qt::UserRole + 1;

QString levelText(FindingLevel level)
{
    switch (level) {
    case FindingLevel::Error:
        return CheckSettingsPage::tr("Error");
    case FindingLevel::Warning:
        return CheckSettingsPage::tr("Warning");
    case FindingLevel::Note:
        return CheckSettingsPage::tr("Note");
    }
    return {};
}

} // namespace

CheckSettingsPage::CheckSettingsPage(AppNotifications &notifications, QWidget *parent)
    : QWidget(parent)
    , m_notifications(notifications)
    , m_rules(new QTreeWidget(this))
    , m_turnAllOn(new QPushButton(tr("Turn All On"), this))
{
    QLabel *explanation = colouredLabel(
        tr("Vesk checks every skill as the tools will load it. Turn off a check you break on purpose: its "
           "findings no longer show in the window, nor in vesk check of the whole library."),
        PaletteColors::secondaryLabel(palette()), 11);
    explanation->setWordWrap(true);

    m_rules->setObjectName(QStringLiteral("checkRules"));
    m_rules->setAccessibleName(tr("Checks"));
    m_rules->setColumnCount(2);
    m_rules->setHeaderLabels({tr("Check"), tr("Level")});
    m_rules->setRootIsDecorated(false);
    m_rules->setUniformRowHeights(true);
    m_rules->setAllColumnsShowFocus(true);
    m_rules->header()->setStretchLastSection(false);
    m_rules->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_rules->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    for (const CheckRule &rule : CheckRules::table()) {
        auto *item = new QTreeWidgetItem(m_rules, {rule.summary, levelText(rule.level)});
        item->setData(0, ruleIdRole, rule.id);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        // The id is what vesk check prints after each finding.
        item->setToolTip(0, rule.summary + u'\n' + rule.id);
        item->setData(0, Qt::AccessibleDescriptionRole, tr("%1, %2").arg(levelText(rule.level), rule.id));
    }
    m_rules->setCurrentItem(m_rules->topLevelItem(0));
    reload();
    connect(m_rules, &QTreeWidget::itemChanged, this, [this] {
        if (!m_loading)
            store();
    });

    m_turnAllOn->setObjectName(QStringLiteral("turnAllChecksOn"));
    connect(m_turnAllOn, &QPushButton::clicked, this, [this] {
        m_loading = true;
        for (int i = 0; i < m_rules->topLevelItemCount(); ++i)
            m_rules->topLevelItem(i)->setCheckState(0, Qt::Checked);
        m_loading = false;
        store();
    });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_turnAllOn);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addWidget(m_rules, 1);
    layout->addLayout(buttons);
}

void CheckSettingsPage::reload()
{
    const QStringList disabled = readDisabledCheckRules();
    m_loading = true;
    for (int i = 0; i < m_rules->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = m_rules->topLevelItem(i);
        item->setCheckState(0, disabled.contains(item->data(0, ruleIdRole).toString()) ? Qt::Unchecked : Qt::Checked);
    }
    m_loading = false;
    m_turnAllOn->setEnabled(!disabled.isEmpty());
}

void CheckSettingsPage::store()
{
    // Ids of rules this version does not know (written by another version) are kept.
    QStringList disabled;
    for (const QString &id : readDisabledCheckRules()) {
        if (!CheckRules::find(id))
            disabled.append(id);
    }
    for (int i = 0; i < m_rules->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = m_rules->topLevelItem(i);
        if (item->checkState(0) != Qt::Checked)
            disabled.append(item->data(0, ruleIdRole).toString());
    }
    QSettings settings;
    if (disabled.isEmpty())
        settings.remove(QLatin1String(SettingsKeys::disabledCheckRules));
    else
        settings.setValue(QLatin1String(SettingsKeys::disabledCheckRules), disabled);
    m_turnAllOn->setEnabled(!disabled.isEmpty());
    Q_EMIT m_notifications.checkRulesChanged();
}
