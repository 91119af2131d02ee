#include "card/artifactbadge.h"

#include "common/plaintext.h"
#include "card/cardpresentation.h"
#include "common/palettecolors.h"

#include <QEvent>
#include <QPainter>

namespace {
const QMargins padding(8, 5, 8, 5);
}

ArtifactBadge::ArtifactBadge(const SkillArtifact &artifact, QWidget *parent)
    : QAbstractButton(parent)
    , m_artifact(artifact)
{
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
    setToolTip(plainToolTip(m_artifact.relativePath));
    setAccessibleName(m_artifact.name);
    updateStyle();
    connect(this, &QAbstractButton::clicked, this, [this] { Q_EMIT revealRequested(m_artifact.path); });
}

void ArtifactBadge::updateStyle()
{
    const CardPresentation::ChipStyle style = CardPresentation::chipStyle(m_artifact.fileExtension, palette());
    m_chipColor = style.color;
    m_content.symbolName = style.symbolName;
    m_content.symbolColor = style.color;
    m_content.symbolScale = SymbolScale::small;
    m_content.font = designMonospaceFont(11);
    m_content.text = m_artifact.name;
    m_content.color = palette().color(QPalette::WindowText);
    m_content.spacing = 4;
    // The symbol follows a 9-point font, a little smaller than the name beside it.
    m_content.symbolScale = QFontMetricsF(designFont(9)).capHeight() / QFontMetricsF(m_content.font).capHeight();
    updateGeometry();
    update();
}

QSize ArtifactBadge::sizeHint() const
{
    return m_content.sizeHint().grownBy(padding);
}

void ArtifactBadge::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        updateStyle();
    QAbstractButton::changeEvent(event);
}

void ArtifactBadge::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal fill = isDown() ? 0.2 : underMouse() ? 0.14 : 0.08;
    // A 0.5-wide line drawn along the inside edge of the shape.
    const QRectF shape = QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25);
    painter.setBrush(PaletteColors::faded(m_chipColor, fill));
    QPen edge(PaletteColors::faded(m_chipColor, hasFocus() ? 0.6 : 0.15));
    edge.setWidthF(hasFocus() ? 1.0 : 0.5);
    painter.setPen(edge);
    painter.drawRoundedRect(shape, 6, 6);
    m_content.paint(painter, rect().marginsRemoved(padding), devicePixelRatioF());
}
