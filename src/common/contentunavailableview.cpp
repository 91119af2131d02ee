#include "common/contentunavailableview.h"

#include "common/palettecolors.h"
#include "common/symbols.h"

#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

ContentUnavailableView::ContentUnavailableView(const QString &title, const QString &symbolName,
                                               const QString &description, QWidget *parent)
    : QWidget(parent)
    , m_symbolName(symbolName)
    , m_icon(new QLabel(this))
    , m_title(new QLabel(title, this))
    , m_description(new QLabel(description, this))
{
    QFont titleFont = m_title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.45);
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    m_title->setTextFormat(Qt::PlainText);
    m_description->setTextFormat(Qt::PlainText);
    m_title->setAlignment(Qt::AlignCenter);
    m_description->setAlignment(Qt::AlignCenter);
    m_description->setWordWrap(true);
    m_icon->setAlignment(Qt::AlignCenter);

    auto *layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(m_icon);
    layout->addSpacing(6);
    layout->addWidget(m_title);
    layout->addWidget(m_description);
    layout->addStretch(1);
    layout->setContentsMargins(24, 24, 24, 24);
    updateColors();
}

QString ContentUnavailableView::title() const
{
    return m_title->text();
}

QString ContentUnavailableView::description() const
{
    return m_description->text();
}

void ContentUnavailableView::setContent(const QString &title, const QString &description)
{
    m_title->setText(title);
    m_description->setText(description);
}

void ContentUnavailableView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        updateColors();
    QWidget::changeEvent(event);
}

void ContentUnavailableView::updateColors()
{
    const QPalette pal = palette();
    m_icon->setPixmap(Symbols::pixmap(m_symbolName, PaletteColors::tertiaryLabel(pal), QSize(44, 44),
                                      devicePixelRatioF()));
    QPalette secondary = pal;
    secondary.setColor(QPalette::WindowText, PaletteColors::secondaryLabel(pal));
    m_description->setPalette(secondary);
}
