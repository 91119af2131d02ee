#include "app/shortcutsdialog.h"

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ShortcutsDialog", text);
}

QString keysOf(const QAction *action)
{
    QStringList keys;
    for (const QKeySequence &sequence : action->shortcuts())
        keys.append(sequence.toString(QKeySequence::NativeText));
    return keys.join(tr(" or "));
}

void collect(const QMenu *menu, const QString &path, QList<ShortcutRow> *rows)
{
    for (const QAction *action : menu->actions()) {
        const QString name = path + QStringLiteral(" ▸ ") + QString(action->text()).remove(u'&');
        if (action->menu())
            collect(action->menu(), name, rows);
        else if (!action->isSeparator() && !action->shortcuts().isEmpty())
            rows->append({name, keysOf(action)});
    }
}

} // namespace

QList<ShortcutRow> shortcutRows(const QMenuBar *bar)
{
    QList<ShortcutRow> rows;
    for (const QAction *action : bar->actions()) {
        if (action->menu())
            collect(action->menu(), QString(action->text()).remove(u'&'), &rows);
    }
    const auto native = [](const QKeySequence &keys) { return keys.toString(QKeySequence::NativeText); };
    rows.append({tr("Search field: move into the results"), native(QKeySequence(Qt::Key_Down))});
    rows.append({tr("Search field or list: open the selected skill"), native(QKeySequence(Qt::Key_Return))});
    rows.append({tr("Search field: clear the search"), native(QKeySequence(Qt::Key_Escape))});
    rows.append({tr("List: previous or next skill"), native(QKeySequence(Qt::Key_Up)) + tr(" or ") + native(QKeySequence(Qt::Key_Down))});
    rows.append({tr("Collection's list: remove the skill from the collection"), native(QKeySequence(QKeySequence::Delete))});
    rows.append({tr("Card and editor switch: flip it"), native(QKeySequence(Qt::Key_Space))});
    rows.append({tr("Editor: find in the text"), native(QKeySequence(QKeySequence::Find))});
    rows.append({tr("Editor: next or previous line with a problem"), native(QKeySequence(Qt::Key_F8)) + tr(" or ") + native(QKeySequence(Qt::SHIFT | Qt::Key_F8))});
    rows.append({tr("Editor: move to its list of problems"), native(QKeySequence(Qt::CTRL | Qt::Key_Tab))});
    rows.append({tr("Find bar: next or previous match"), native(QKeySequence(Qt::Key_Return)) + tr(" or ") + native(QKeySequence(Qt::SHIFT | Qt::Key_Return))});
    rows.append({tr("Find bar: close it"), native(QKeySequence(Qt::Key_Escape))});
    rows.append({tr("Move to the next or previous control"), native(QKeySequence(Qt::Key_Tab)) + tr(" or ") + native(QKeySequence(Qt::SHIFT | Qt::Key_Tab))});
    return rows;
}

QDialog *createShortcutsDialog(const QMenuBar *bar, QWidget *parent)
{
    auto *dialog = new QDialog(parent);
    dialog->setObjectName(QStringLiteral("shortcutsDialog"));
    dialog->setWindowTitle(tr("Keyboard Shortcuts"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto *table = new QTreeWidget(dialog);
    table->setRootIsDecorated(false);
    table->setHeaderLabels({tr("Command"), tr("Keys")});
    table->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    table->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    table->header()->setStretchLastSection(false);
    for (const ShortcutRow &row : shortcutRows(bar))
        new QTreeWidgetItem(table, {row.command, row.keys});
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(table);
    layout->addWidget(buttons);
    dialog->resize(560, 520);
    return dialog;
}
