#include "card/collectionpicker.h"

#include "common/followedskill.h"
#include "card/symboltext.h"
#include "common/libraryactions.h"
#include "common/palettecolors.h"
#include "common/symbols.h"
#include "library/store/modelcontext.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int pickerWidth = 200;
constexpr int inset = 12;

// One collection: its symbol and name, and a checkmark while the skill is in it.
class CollectionPickerRow final : public QAbstractButton
{
public:
    CollectionPickerRow(const QString &icon, const QString &name, bool member, QWidget *parent)
        : QAbstractButton(parent)
        , m_icon(icon)
    {
        setText(name);
        setCheckable(true);
        setChecked(member);
        setAttribute(Qt::WA_Hover);
        setFocusPolicy(Qt::StrongFocus);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setAccessibleName(name);
    }

    QSize sizeHint() const override
    {
        return QSize(pickerWidth, std::max(22, fontMetrics().height() + 8));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (underMouse() || hasFocus()) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(PaletteColors::faded(PaletteColors::accent(palette()), isDown() ? 0.28 : 0.16));
            painter.drawRoundedRect(QRectF(rect()), 5, 5);
        }
        const QColor ink = PaletteColors::label(palette());
        const int side = 16;
        const qreal dpr = devicePixelRatioF();
        const int middle = (height() - side) / 2;
        painter.drawPixmap(6, middle, Symbols::pixmap(m_icon, ink, QSize(side, side), dpr));
        const int right = width() - 6 - side;
        if (isChecked())
            painter.drawPixmap(right, middle, Symbols::pixmap(QStringLiteral("checkmark"), PaletteColors::accent(palette()),
                                                             QSize(side, side), dpr));
        painter.setPen(ink);
        const QRect textRect(6 + side + 8, 0, right - (6 + side + 8) - 8, height());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         fontMetrics().elidedText(text(), Qt::ElideRight, textRect.width()));
    }

    // The checkmark reflects the store, not the click: the picker redraws it.
    void nextCheckState() override {}

private:
    QString m_icon;
};

} // namespace

CollectionPicker::CollectionPicker(ModelContext &context, QWidget *parent)
    : QFrame(parent, Qt::Popup)
    , m_context(context)
{
    setObjectName(QStringLiteral("collectionPicker"));
    setFrameShape(QFrame::StyledPanel);
    setFixedWidth(pickerWidth + 2 * inset);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(inset, inset, inset, inset);
    layout->setSpacing(4);
    auto *title = new QLabel(tr("Collections"), this);
    title->setObjectName(QStringLiteral("collectionPickerTitle"));
    title->setFont(designFont(13, QFont::DemiBold));
    title->setContentsMargins(0, 0, 0, 4);
    layout->addWidget(title);

    auto *rows = new QWidget(this);
    m_rows = new QVBoxLayout(rows);
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(2);
    layout->addWidget(rows);

    auto *empty = new QLabel(tr("No collections yet"), this);
    empty->setObjectName(QStringLiteral("noCollectionsYet"));
    empty->setFont(designFont(10));
    QPalette secondary = empty->palette();
    secondary.setColor(QPalette::WindowText, PaletteColors::secondaryLabel(secondary));
    empty->setPalette(secondary);
    m_empty = empty;
    layout->addWidget(empty);

    m_pendingRebuild.setSingleShot(true);
    m_pendingRebuild.setInterval(0);
    connect(&m_pendingRebuild, &QTimer::timeout, this, &CollectionPicker::rebuild);
    connect(&m_context, &ModelContext::changed, this, &CollectionPicker::scheduleRebuild);
    rebuild();
}

void CollectionPicker::setSkill(Skill *skill)
{
    if (!followSkill(m_skill, skill, this, {&Skill::collectionsChanged}, &CollectionPicker::scheduleRebuild))
        return;
    rebuild();
}

void CollectionPicker::scheduleRebuild()
{
    if (!m_pendingRebuild.isActive())
        m_pendingRebuild.start();
}

void CollectionPicker::rebuild()
{
    m_pendingRebuild.stop();
    QWidget *focused = QApplication::focusWidget();
    int focusedRow = -1;
    const QList<QAbstractButton *> previous = rows();
    for (int i = 0; i < previous.size(); ++i) {
        if (previous.at(i) == focused)
            focusedRow = i;
    }
    while (QLayoutItem *item = m_rows->takeAt(0)) {
        if (QWidget *row = item->widget()) {
            row->hide();
            row->deleteLater();
        }
        delete item;
    }
    const QList<SkillCollection *> collections = m_context.collections();
    for (SkillCollection *collection : collections) {
        const bool member = m_skill && isMember(*m_skill, *collection);
        auto *row = new CollectionPickerRow(collection->icon(), collection->name(), member, m_rows->parentWidget());
        row->setObjectName(QStringLiteral("collectionRow"));
        const QPointer<SkillCollection> target(collection);
        connect(row, &QAbstractButton::clicked, this, [this, target] {
            // The store's change signals redraw the rows once this click is over.
            if (m_skill && target)
                toggleMembership(m_context, *m_skill, *target);
        });
        m_rows->addWidget(row);
    }
    m_empty->setVisible(collections.isEmpty());
    const QList<QAbstractButton *> current = rows();
    if (focusedRow >= 0 && focusedRow < current.size())
        current.at(focusedRow)->setFocus();
    if (isVisible())
        adjustSize();
}

QList<QAbstractButton *> CollectionPicker::rows() const
{
    QList<QAbstractButton *> buttons;
    for (int i = 0; i < m_rows->count(); ++i) {
        if (auto *button = qobject_cast<QAbstractButton *>(m_rows->itemAt(i)->widget()))
            buttons.append(button);
    }
    return buttons;
}

bool CollectionPicker::isShowingEmptyText() const
{
    return !m_empty->isHidden();
}

void CollectionPicker::popup(const QRect &anchor)
{
    rebuild();
    adjustSize();
    // Centred over the button, as a popover points at what opened it; the bar
    // ends at the window's edge, so one hung from the button's left would
    // overhang the window.
    QPoint position(anchor.center().x() - width() / 2, anchor.top() - height() - 4);
    if (const QScreen *screen = QGuiApplication::screenAt(anchor.center())) {
        const QRect available = screen->availableGeometry();
        if (position.y() < available.top())
            position.setY(anchor.bottom() + 4);
        position.setX(std::clamp(position.x(), available.left(), available.right() - width()));
    }
    move(position);
    show();
    const QList<QAbstractButton *> buttons = rows();
    if (!buttons.isEmpty())
        buttons.first()->setFocus();
}

void CollectionPicker::keyPressEvent(QKeyEvent *event)
{
    const QList<QAbstractButton *> buttons = rows();
    const int at = int(buttons.indexOf(qobject_cast<QAbstractButton *>(focusWidget())));
    if ((event->key() == Qt::Key_Down || event->key() == Qt::Key_Up) && !buttons.isEmpty()) {
        const int step = event->key() == Qt::Key_Down ? 1 : -1;
        const int next = at < 0 ? 0 : std::clamp(at + step, 0, int(buttons.size()) - 1);
        buttons.at(next)->setFocus();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QFrame::keyPressEvent(event);
}

void CollectionPicker::mousePressEvent(QMouseEvent *event)
{
    // A popup sees the press that lands outside it, and closes on it.
    if (!rect().contains(event->position().toPoint()))
        m_sinceClosedByClick.start();
    QFrame::mousePressEvent(event);
}

bool CollectionPicker::wasJustClosed() const
{
    return m_sinceClosedByClick.isValid() && m_sinceClosedByClick.elapsed() < 250;
}
