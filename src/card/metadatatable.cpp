#include "card/metadatatable.h"

#include "card/clampedlabel.h"
#include "card/symboltext.h"
#include "common/palettecolors.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

MetadataTable::MetadataTable(const QStringList &keys, const Skill::Frontmatter &frontmatter, const QPalette &palette,
                             QWidget *parent)
    : QWidget(parent)
    , m_keys(keys)
{
    setObjectName(QStringLiteral("metadataTable"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const QColor keyColor = PaletteColors::faded(PaletteColors::lime(palette), 0.7);
    for (const QString &key : keys) {
        auto *row = new QWidget(this);
        auto *rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(12, 8, 12, 8);
        rowLayout->setSpacing(8);

        auto *keyLabel = new ClampedLabel(row);
        keyLabel->setObjectName(QStringLiteral("metadataKey"));
        keyLabel->setFont(designFont(12, QFont::Medium));
        keyLabel->setTextColor(keyColor);
        keyLabel->setText(key);
        keyLabel->setFixedWidth(120);

        auto *value = new ClampedLabel(row);
        value->setObjectName(QStringLiteral("metadataValue"));
        value->setFont(designFont(12));
        value->setMaximumLineCount(2);
        value->setSelectable(true);
        value->setText(frontmatter.value(key));
        value->setSizePolicy(QSizePolicy::Expanding, value->sizePolicy().verticalPolicy());

        rowLayout->addWidget(keyLabel, 0, Qt::AlignVCenter);
        rowLayout->addWidget(value, 1, Qt::AlignVCenter);
        layout->addWidget(row);
        m_rows.append(row);
        m_values.append(value);
    }
}

void MetadataTable::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor quaternary = PaletteColors::quaternaryLabel(palette());
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 8, 8);
    painter.fillPath(shape, PaletteColors::faded(quaternary, 0.1));

    painter.save();
    painter.setClipPath(shape);
    const QColor stripe = PaletteColors::faded(PaletteColors::label(palette()), 0.02);
    for (qsizetype i = 1; i < m_rows.size(); i += 2)
        painter.fillRect(m_rows.at(i)->geometry(), stripe);
    painter.restore();

    QPen edge(PaletteColors::faded(quaternary, 0.2));
    edge.setWidthF(0.5);
    painter.setPen(edge);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25), 8, 8);
}
