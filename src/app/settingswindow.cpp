#include "app/settingswindow.h"

#include "common/palettecolors.h"
#include "common/symbols.h"
#include "common/toolicon.h"
#include "library/settingskeys.h"
#include "library/toolsource.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QLabel *coloredLabel(const QString &text, const QColor &color, qreal fontScale = 1.0)
{
    auto *label = new QLabel(text);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    if (fontScale != 1.0) {
        QFont font = label->font();
        font.setPointSizeF(font.pointSizeF() * fontScale);
        label->setFont(font);
    }
    return label;
}

QColor destructiveRed(const QPalette &palette)
{
    return PaletteColors::isDark(palette) ? QColor(255, 69, 58) : QColor(255, 59, 48);
}

} // namespace

SettingsWindow::SettingsWindow(AppNotifications &notifications, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_scanPaths(notifications)
    , m_chooseDirectory([](QWidget *dialogParent) {
        return QFileDialog::getExistingDirectory(dialogParent, tr("Add Directory"), QDir::homePath(),
                                                 QFileDialog::ShowDirsOnly);
    })
{
    setWindowTitle(tr("Settings"));
    setWindowIcon(applicationIcon());
    setFixedSize(480, 320);

    auto *tabs = new QTabWidget;
    tabs->addTab(createGeneralTab(), Symbols::icon(QStringLiteral("gearshape.fill")), tr("General"));
    tabs->addTab(createDirectoriesTab(), Symbols::icon(QStringLiteral("folder.fill")), tr("Directories"));
    tabs->addTab(createAboutTab(), Symbols::icon(QStringLiteral("info.circle.fill")), tr("About"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
}

void SettingsWindow::setDirectoryChooser(DirectoryChooser chooser)
{
    m_chooseDirectory = std::move(chooser);
}

void SettingsWindow::showEvent(QShowEvent *event)
{
    // Another window may have changed the list since this one was last open.
    reloadPaths();
    QWidget::showEvent(event);
}

QWidget *SettingsWindow::createGeneralTab()
{
    auto *combo = new QComboBox;
    for (ToolSource tool : Tools::allCases())
        combo->addItem(Tools::displayName(tool), Tools::rawValue(tool));

    const QString key = QLatin1String(SettingsKeys::defaultTool);
    const int stored = combo->findData(QSettings().value(key).toString());
    if (stored >= 0)
        combo->setCurrentIndex(stored);
    connect(combo, &QComboBox::currentIndexChanged, this,
            [combo, key] { QSettings().setValue(key, combo->currentData()); });

    auto *page = new QWidget;
    auto *form = new QFormLayout(page);
    form->addRow(tr("Default harness for new skills"), combo);
    return page;
}

QWidget *SettingsWindow::createDirectoriesTab()
{
    auto *headline = new QLabel(tr("Custom scan directories"));
    QFont bold = headline->font();
    bold.setBold(true);
    headline->setFont(bold);

    QLabel *caption = coloredLabel(tr("Add a parent directory (e.g. ~/Development) and Vesk will scan "
                                      "each project inside it for tool-specific skills."),
                                   PaletteColors::secondaryLabel(palette()));
    caption->setWordWrap(true);

    m_pathList = new QTreeWidget;
    m_pathList->setColumnCount(2);
    m_pathList->setHeaderHidden(true);
    m_pathList->setRootIsDecorated(false);
    m_pathList->setSelectionMode(QAbstractItemView::NoSelection);
    m_pathList->setTextElideMode(Qt::ElideMiddle);
    m_pathList->setMinimumHeight(120);
    m_pathList->header()->setStretchLastSection(false);
    m_pathList->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_pathList->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);

    auto *add = new QPushButton(tr("Add directory..."));
    connect(add, &QPushButton::clicked, this, &SettingsWindow::addDirectory);

    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(headline);
    layout->addWidget(caption);
    layout->addWidget(m_pathList, 1);
    layout->addWidget(add, 0, Qt::AlignRight);
    return page;
}

QWidget *SettingsWindow::createAboutTab()
{
    const QPalette pal = palette();

    auto *icon = new QLabel;
    icon->setPixmap(applicationIcon().pixmap(64, 64));

    auto *name = new QLabel(QStringLiteral("Vesk"));
    QFont nameFont = name->font();
    nameFont.setPointSize(20);
    nameFont.setBold(true);
    name->setFont(nameFont);

    const QString version =
        QStringLiteral("v") + aboutVersionText(QCoreApplication::applicationVersion(), QStringLiteral(VESK_BUILD));

    auto *updates = new QPushButton(tr("Check for updates"));
    updates->setEnabled(false);
    updates->setToolTip(tr("Updates are not configured in this build."));
    auto *website = new QPushButton(tr("Website"));
    connect(website, &QPushButton::clicked, this,
            [] { QDesktopServices::openUrl(QUrl(QStringLiteral("https://vesk.app"))); });
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {updates, website}) {
        QFont small = button->font();
        small.setPointSizeF(small.pointSizeF() * 0.85);
        button->setFont(small);
        buttons->addWidget(button);
    }

    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->setSpacing(14);
    layout->addStretch();
    layout->addWidget(icon, 0, Qt::AlignHCenter);
    layout->addWidget(name, 0, Qt::AlignHCenter);
    layout->addWidget(coloredLabel(tr("Your AI skillbook"), PaletteColors::secondaryLabel(pal)), 0,
                      Qt::AlignHCenter);
    layout->addWidget(coloredLabel(version, PaletteColors::tertiaryLabel(pal)), 0, Qt::AlignHCenter);
    layout->addLayout(buttons);
    buttons->setAlignment(Qt::AlignHCenter);
    layout->addWidget(coloredLabel(tr("Made by Dravlen"), PaletteColors::quaternaryLabel(pal), 0.85), 0,
                      Qt::AlignHCenter);
    layout->addStretch();
    return page;
}

void SettingsWindow::reloadPaths()
{
    m_paths = m_scanPaths.load();
    rebuildPathList();
}

void SettingsWindow::rebuildPathList()
{
    // Clearing hands the old buttons to deleteLater(), so a row may rebuild the
    // list from its own clicked() signal.
    m_pathList->clear();
    const QIcon folder = Symbols::icon(QStringLiteral("folder.fill"), PaletteColors::secondaryLabel(palette()));
    const QIcon minus = Symbols::icon(QStringLiteral("minus.circle.fill"), destructiveRed(palette()));
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (const QString &path : std::as_const(m_paths)) {
        auto *item = new QTreeWidgetItem(m_pathList, {path});
        item->setIcon(0, folder);
        item->setFont(0, fixed);
        item->setToolTip(0, path);

        auto *remove = new QToolButton;
        remove->setAutoRaise(true);
        remove->setIcon(minus);
        remove->setToolTip(tr("Remove"));
        connect(remove, &QToolButton::clicked, this, [this, path] {
            m_scanPaths.remove(m_paths, path);
            rebuildPathList();
        });
        m_pathList->setItemWidget(item, 1, remove);
    }
}

void SettingsWindow::addDirectory()
{
    const QString chosen = m_chooseDirectory ? m_chooseDirectory(this) : QString();
    if (!chosen.isEmpty() && m_scanPaths.add(m_paths, chosen))
        rebuildPathList();
}
