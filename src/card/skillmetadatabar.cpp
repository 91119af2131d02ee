#include "card/skillmetadatabar.h"

#include "common/followedskill.h"
#include "common/plaintext.h"
#include "card/cardpresentation.h"
#include "card/clampedlabel.h"
#include "card/collectionpicker.h"
#include "card/divider.h"
#include "card/symboltext.h"
#include "common/displayformat.h"
#include "common/palettecolors.h"
#include "common/toolicon.h"
#include "library/catalogue/homepath.h"
#include "library/records/skill.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QTimer>

namespace {

QLabel *captionLabel(QWidget *parent, const QString &name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setFont(designFont(10));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, PaletteColors::secondaryLabel(palette));
    label->setPalette(palette);
    return label;
}

} // namespace

SkillMetadataBar::SkillMetadataBar(ModelContext &context, QWidget *parent)
    : QWidget(parent)
    , m_harnesses(new QWidget(this))
    , m_path(new ClampedLabel(this))
    , m_size(captionLabel(this, QStringLiteral("metadataSize")))
    , m_date(captionLabel(this, QStringLiteral("metadataDate")))
    , m_picker(new CollectionPicker(context, this))
    , m_clock(new QTimer(this))
{
    setObjectName(QStringLiteral("skillMetadataBar"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    m_harnesses->setObjectName(QStringLiteral("metadataHarnesses"));
    m_harnessIcons = new QHBoxLayout(m_harnesses);
    m_harnessIcons->setContentsMargins(0, 0, 0, 0);
    m_harnessIcons->setSpacing(8);

    m_path->setObjectName(QStringLiteral("metadataPath"));
    m_path->setFont(designFont(10));
    m_path->setTextColor(PaletteColors::secondaryLabel(palette()));
    m_path->setMaximumLineCount(1, Qt::ElideMiddle);
    m_path->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    SymbolText tray;
    tray.symbolName = QStringLiteral("tray.fill");
    tray.font = designFont(10);
    tray.color = PaletteColors::secondaryLabel(palette());
    tray.symbolScale = SymbolScale::medium;
    m_collectionsButton = new SymbolButton(tray, this);
    m_collectionsButton->setObjectName(QStringLiteral("collectionsButton"));
    m_collectionsButton->setToolTip(tr("Collections"));
    m_collectionsButton->setAccessibleName(tr("Collections"));
    connect(m_collectionsButton, &SymbolButton::clicked, this, &SkillMetadataBar::openPicker);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 10, 16, 10);
    layout->setSpacing(16);
    layout->addWidget(m_harnesses);
    layout->addWidget(new Divider(Qt::Vertical, 16, this));
    layout->addWidget(m_path);
    layout->addWidget(new Divider(Qt::Vertical, 16, this));
    layout->addWidget(m_size);
    m_sizeDivider = new Divider(Qt::Vertical, 16, this);
    layout->addWidget(m_sizeDivider);
    layout->addWidget(m_collectionsButton);
    layout->addStretch(1);
    layout->addWidget(m_date);

    m_clock->setInterval(30 * 1000);
    connect(m_clock, &QTimer::timeout, this, &SkillMetadataBar::refreshRelativeDate);
    refresh();
}

void SkillMetadataBar::setSkill(Skill *skill)
{
    if (!followSkill(m_skill, skill, this,
                     {&Skill::filePathChanged, &Skill::installedPathsDataChanged, &Skill::toolSourcesRawChanged,
                      &Skill::fileSizeChanged, &Skill::fileModifiedDateChanged},
                     &SkillMetadataBar::scheduleRefresh))
        return;
    m_picker->hide();
    m_picker->setSkill(skill);
    refresh();
}

QString SkillMetadataBar::installedPathsText() const
{
    return m_skill ? CardPresentation::installedPathsText(m_skill->installedPaths(), QDir::homePath()) : QString();
}

void SkillMetadataBar::scheduleRefresh()
{
    if (m_refreshScheduled)
        return;
    m_refreshScheduled = true;
    QTimer::singleShot(0, this, &SkillMetadataBar::refresh);
}

void SkillMetadataBar::refresh()
{
    m_refreshScheduled = false;
    while (QLayoutItem *item = m_harnessIcons->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const QString paths = installedPathsText();
    if (m_skill) {
        const QColor symbolColor = PaletteColors::secondaryLabel(palette());
        for (ToolSource tool : m_skill->toolSources()) {
            auto *icon = new QLabel(m_harnesses);
            icon->setObjectName(QStringLiteral("harnessIcon"));
            icon->setPixmap(toolPixmap(tool, 14, devicePixelRatioF(), symbolColor));
            icon->setAccessibleName(Tools::displayName(tool));
            m_harnessIcons->addWidget(icon);
        }
    }
    m_harnesses->setToolTip(plainToolTip(paths));
    m_path->setText(m_skill ? abbreviateHome(m_skill->filePath(), QDir::homePath()) : QString());
    m_path->setToolTip(plainToolTip(paths));
    m_size->setText(m_skill ? DisplayFormat::byteCount(m_skill->fileSize()) : QString());
    fitToWidth();
    m_collectionsButton->setEnabled(m_skill);
    refreshRelativeDate();
    if (m_skill)
        m_clock->start();
    else
        m_clock->stop();
}

void SkillMetadataBar::refreshRelativeDate()
{
    m_date->setText(m_skill ? DisplayFormat::relativeDate(m_skill->fileModifiedDate()) : QString());
}

void SkillMetadataBar::openPicker()
{
    if (!m_skill)
        return;
    if (m_picker->isVisible() || m_picker->wasJustClosed()) {
        m_picker->hide();
        return;
    }
    const QRect anchor(m_collectionsButton->mapToGlobal(QPoint(0, 0)), m_collectionsButton->size());
    m_picker->popup(anchor);
}

QSize SkillMetadataBar::minimumSizeHint() const
{
    // Narrower than everything needs, the size gives way first (fitToWidth).
    QSize hint = QWidget::minimumSizeHint();
    if (!m_size->isHidden())
        hint.rwidth() -= m_size->sizeHint().width() + m_sizeDivider->sizeHint().width() + 2 * layout()->spacing();
    return hint;
}

void SkillMetadataBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitToWidth();
}

void SkillMetadataBar::fitToWidth()
{
    // What the bar needs with the size shown, the path cut down to its shortest.
    const int spacing = layout()->spacing();
    const QMargins margins = layout()->contentsMargins();
    int needed = margins.left() + margins.right();
    for (const QWidget *part : std::initializer_list<const QWidget *>{m_harnesses, m_collectionsButton, m_date, m_size})
        needed += part->sizeHint().width();
    needed += m_path->minimumSizeHint().width() + 3 + 7 * spacing; // three dividers, eight gaps
    const bool showSize = width() >= needed;
    if (showSize == m_size->isHidden()) {
        m_size->setVisible(showSize);
        m_sizeDivider->setVisible(showSize);
    }
}

void SkillMetadataBar::paintEvent(QPaintEvent *)
{
    // The bar sits on the window's own colour, a step away from the card's page.
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
}
