#include "common/noticebar.h"

#include "common/palettecolors.h"
#include "common/symbols.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

NoticeBar::NoticeBar(QWidget *parent)
    : QFrame(parent)
    , m_icon(new QLabel(this))
    , m_message(new QLabel(this))
    , m_action(new QPushButton(this))
{
    // Messages come from the store and from file names: never markup.
    m_message->setTextFormat(Qt::PlainText);
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_message->setObjectName(QStringLiteral("noticeMessage"));
    m_action->setObjectName(QStringLiteral("noticeAction"));
    m_action->hide();
    connect(m_action, &QPushButton::clicked, this, &NoticeBar::actionTriggered);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->setSpacing(8);
    layout->addWidget(m_icon, 0, Qt::AlignTop);
    layout->addWidget(m_message, 1);
    layout->addWidget(m_action, 0, Qt::AlignVCenter);
    updateColors();
    hide();
}

void NoticeBar::setActionText(const QString &text)
{
    m_action->setText(text);
    m_action->setVisible(!text.isEmpty());
}

QPushButton *NoticeBar::addButton(const QString &text, const QString &objectName)
{
    auto *button = new QPushButton(text, this);
    button->setObjectName(objectName);
    layout()->addWidget(button);
    static_cast<QHBoxLayout *>(layout())->setAlignment(button, Qt::AlignVCenter);
    return button;
}

void NoticeBar::showNotice(const QString &message)
{
    m_message->setText(message);
    show();
}

QString NoticeBar::message() const
{
    return m_message->text();
}

void NoticeBar::changeEvent(QEvent *event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        updateColors();
}

void NoticeBar::paintEvent(QPaintEvent *event)
{
    // A wash of the notice orange over the window colour, readable in both palettes.
    QColor wash = PaletteColors::systemOrange(palette());
    wash.setAlphaF(PaletteColors::isDark(palette()) ? 0.22 : 0.16);
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.fillRect(rect(), wash);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(rect().bottomLeft(), rect().bottomRight());
    QFrame::paintEvent(event);
}

void NoticeBar::updateColors()
{
    const QColor orange = PaletteColors::systemOrange(palette());
    const int side = m_message->fontMetrics().height();
    m_icon->setPixmap(Symbols::pixmap(QStringLiteral("exclamationmark.triangle.fill"), orange, QSize(side, side),
                                      devicePixelRatioF()));
}
