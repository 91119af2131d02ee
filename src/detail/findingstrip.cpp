#include "detail/findingstrip.h"

#include "common/itemroles.h"
#include "detail/findinglistmodel.h"

#include <QEvent>
#include <QKeyEvent>

namespace {

// Rows shown before the strip scrolls: enough to see the first problems
// without taking the text's room.
constexpr int shownRows = 4;

} // namespace

FindingStrip::FindingStrip(QWidget *parent)
    : QListView(parent)
    , m_model(new FindingListModel(this))
{
    setObjectName(QStringLiteral("findingStrip"));
    setAccessibleName(tr("Problems in this file"));
    setModel(m_model);
    m_model->setPalette(palette());
    setFrameShape(QFrame::NoFrame);
    // On the editor's own background.
    viewport()->setBackgroundRole(QPalette::Window);
    setFocusPolicy(Qt::StrongFocus);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(true);
    setTextElideMode(Qt::ElideRight);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setIconSize(QSize(14, 14));
    setSpacing(1);
    // The rows' text lines up with the editor's, 12 points in.
    setViewportMargins(8, 4, 8, 4);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(this, &QListView::clicked, this, &FindingStrip::activate);
    connect(this, &QListView::activated, this, &FindingStrip::activate);
    hide();
}

void FindingStrip::setFindings(const QList<Finding> &findings)
{
    m_model->setFindings(findings);
    setVisible(!findings.isEmpty());
    updateGeometry();
}

const QList<Finding> &FindingStrip::findings() const
{
    return m_model->findings();
}

QSize FindingStrip::sizeHint() const
{
    const int rows = qBound(1, int(m_model->findings().size()), shownRows);
    const int row = qMax(fontMetrics().lineSpacing(), iconSize().height()) + 2 * spacing() + 4;
    return {QListView::sizeHint().width(), rows * row + 2 * frameWidth() + 4 + 8};
}

void FindingStrip::activate(const QModelIndex &index)
{
    const int line = index.data(ItemRoles::FindingLineRole).toInt();
    if (line > 0)
        Q_EMIT lineActivated(line);
}

void FindingStrip::keyPressEvent(QKeyEvent *event)
{
    // Space jumps too, as it presses a button.
    if (event->key() == Qt::Key_Space && currentIndex().isValid()) {
        activate(currentIndex());
        return;
    }
    QListView::keyPressEvent(event);
}

void FindingStrip::changeEvent(QEvent *event)
{
    QListView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        m_model->setPalette(palette());
}
