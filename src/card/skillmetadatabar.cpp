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
#include "library/disk/regularfile.h"
#include "library/records/skill.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QTimer>

namespace {

// The gaps between the parts: roomy, or tight when the bar is narrow.
constexpr int roomyGap = 16;
constexpr int tightGap = 8;
constexpr int roomyIconGap = 8;
constexpr int tightIconGap = 4;

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
    , m_link(new ClampedLabel(this))
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
    m_harnessIcons->setSpacing(roomyIconGap);

    m_path->setObjectName(QStringLiteral("metadataPath"));
    m_path->setFont(designFont(10));
    m_path->setTextColor(PaletteColors::secondaryLabel(palette()));
    m_path->setMaximumLineCount(1, Qt::ElideMiddle);
    m_path->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // Where a save would really write, said up front: a linked skill is not where it seems.
    m_link->setObjectName(QStringLiteral("metadataLink"));
    m_link->setFont(designFont(10));
    m_link->setTextColor(PaletteColors::secondaryLabel(palette()));
    m_link->setMaximumLineCount(1, Qt::ElideRight); // "link to" stays readable
    m_link->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_link->hide();

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
    layout->setSpacing(roomyGap);
    layout->addWidget(m_harnesses);
    layout->addWidget(new Divider(Qt::Vertical, 16, this));
    layout->addWidget(m_path);
    layout->addWidget(m_link);
    layout->addWidget(new Divider(Qt::Vertical, 16, this));
    layout->addWidget(m_size);
    layout->addWidget(new Divider(Qt::Vertical, 16, this));
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

QString SkillMetadataBar::linkText(const QString &filePath)
{
    const std::optional<QString> target = linkTarget(filePath);
    return target ? tr("link to %1").arg(abbreviateHome(*target, QDir::homePath())) : QString();
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
    m_link->setText(m_skill ? linkText(m_skill->filePath()) : QString());
    m_link->setToolTip(plainToolTip(m_link->text()));
    m_link->setVisible(!m_link->text().isEmpty());
    m_path->setToolTip(plainToolTip(paths));
    m_size->setText(m_skill ? DisplayFormat::byteCount(m_skill->fileSize()) : QString());
    updateGeometry(); // the least the path needs depends on its file name
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

int SkillMetadataBar::widthNeeded(int gap, int iconGap) const
{
    // Every part at its size, the path cut down to its start and file name.
    const QMargins margins = layout()->contentsMargins();
    int needed = margins.left() + margins.right();
    const int icons = m_harnessIcons->count();
    needed += m_harnesses->sizeHint().width() - qMax(0, icons - 1) * (m_harnessIcons->spacing() - iconGap);
    for (const QWidget *part : std::initializer_list<const QWidget *>{m_collectionsButton, m_date, m_size})
        needed += part->sizeHint().width();
    if (!m_link->isHidden())
        needed += m_link->minimumSizeHint().width() + gap;
    return needed + m_path->minimumSizeHint().width() + 3 + 7 * gap; // three dividers, eight gaps
}

QSize SkillMetadataBar::minimumSizeHint() const
{
    // Narrower than everything needs at the roomy gaps, the gaps close up (fitToWidth).
    return QSize(widthNeeded(tightGap, tightIconGap), QWidget::minimumSizeHint().height());
}

void SkillMetadataBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitToWidth();
}

void SkillMetadataBar::fitToWidth()
{
    // Every part stays; a narrow bar closes up its gaps instead.
    const bool roomy = width() >= widthNeeded(roomyGap, roomyIconGap);
    const int gap = roomy ? roomyGap : tightGap;
    if (layout()->spacing() != gap) {
        layout()->setSpacing(gap);
        m_harnessIcons->setSpacing(roomy ? roomyIconGap : tightIconGap);
    }
}

void SkillMetadataBar::paintEvent(QPaintEvent *)
{
    // The bar sits on the window's own colour, a step away from the card's page.
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
}
