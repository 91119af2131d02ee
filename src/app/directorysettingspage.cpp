#include "app/directorysettingspage.h"

#include "common/plaintext.h"
#include "app/settingslabels.h"
#include "common/palettecolors.h"
#include "common/symbols.h"
#include "library/catalogue/homepath.h"

#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QColor destructiveRed(const QPalette &palette)
{
    return PaletteColors::isDark(palette) ? QColor(255, 69, 58) : QColor(255, 59, 48);
}

} // namespace

DirectorySettingsPage::DirectorySettingsPage(AppNotifications &notifications, QWidget *parent)
    : QWidget(parent)
    , m_scanPaths(notifications)
    , m_list(new QTreeWidget)
    , m_chooseDirectory([](QWidget *dialogParent) {
        return QFileDialog::getExistingDirectory(dialogParent, tr("Add Directory"), QDir::homePath(),
                                                 QFileDialog::ShowDirsOnly);
    })
{
    auto *headline = new QLabel(tr("Custom scan directories"));
    headline->setFont(designFont(headline->font(), 13, true));

    QLabel *caption = colouredLabel(tr("Add a parent directory (e.g. ~/Development) and Vesk will scan "
                                       "each project inside it for tool-specific skills."),
                                    PaletteColors::secondaryLabel(palette()), 11);
    caption->setWordWrap(true);

    m_list->setObjectName(QStringLiteral("scanDirectories"));
    m_list->setColumnCount(2);
    m_list->setHeaderHidden(true);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setTextElideMode(Qt::ElideMiddle);
    m_list->setMinimumHeight(120);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_list->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);

    auto *add = new QPushButton(tr("Add directory…"));
    add->setObjectName(QStringLiteral("addDirectory"));
    connect(add, &QPushButton::clicked, this, &DirectorySettingsPage::addDirectory);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(12);
    layout->addWidget(headline);
    layout->addWidget(caption);
    layout->addWidget(m_list, 1);
    layout->addWidget(add, 0, Qt::AlignRight);
}

void DirectorySettingsPage::reload()
{
    m_paths = m_scanPaths.load();
    rebuildList();
}

void DirectorySettingsPage::rebuildList()
{
    // Clearing hands the old buttons to deleteLater(), so a row may rebuild the
    // list from its own clicked() signal.
    m_list->clear();
    const QIcon folder = Symbols::icon(QStringLiteral("folder.fill"), PaletteColors::secondaryLabel(palette()));
    const QIcon minus = Symbols::icon(QStringLiteral("minus.circle.fill"), destructiveRed(palette()));
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (const QString &path : std::as_const(m_paths)) {
        auto *item = new QTreeWidgetItem(m_list, {abbreviateHome(path)});
        item->setData(0, Qt::UserRole, path);
        item->setIcon(0, folder);
        item->setFont(0, fixed);
        item->setToolTip(0, plainToolTip(path));

        auto *remove = new QToolButton;
        remove->setAutoRaise(true);
        remove->setIcon(minus);
        remove->setToolTip(plainToolTip(tr("Remove %1").arg(path)));
        remove->setAccessibleName(tr("Remove %1").arg(path));
        connect(remove, &QToolButton::clicked, this, [this, path] {
            m_scanPaths.remove(m_paths, path);
            rebuildList();
        });
        m_list->setItemWidget(item, 1, remove);
    }
}

void DirectorySettingsPage::addDirectory()
{
    const QString chosen = m_chooseDirectory ? m_chooseDirectory(window()) : QString();
    if (!chosen.isEmpty() && m_scanPaths.add(m_paths, chosen))
        rebuildList();
}
