#include "common/problemslist.h"

#include "common/plaintext.h"
#include "library/catalogue/homepath.h"

#include <QHeaderView>

ProblemsList::ProblemsList(QWidget *parent)
    : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("problemsList"));
    setColumnCount(2);
    setHeaderLabels({tr("File"), tr("Problem")});
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setTextElideMode(Qt::ElideMiddle);
    header()->setStretchLastSection(true);
    header()->setSectionResizeMode(0, QHeaderView::Interactive);
    header()->resizeSection(0, 320);
}

void ProblemsList::setProblems(const QList<FileProblem> &problems)
{
    clear();
    for (const FileProblem &problem : problems) {
        // Item texts are drawn as plain text; only the tooltip needs spelling out.
        auto *item = new QTreeWidgetItem(this, {abbreviateHome(problem.path), problem.reason});
        item->setToolTip(0, plainToolTip(problem.path));
        item->setToolTip(1, plainToolTip(problem.reason));
    }
}
