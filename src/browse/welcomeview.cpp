#include "browse/welcomeview.h"

#include "common/palettecolors.h"
#include "library/catalogue/homelocations.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

QLabel *plainLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

} // namespace

WelcomeView::WelcomeView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("welcome"));
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("welcomeContent"));

    auto *title = plainLabel(tr("Welcome to Vesk"), content);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.45);
    titleFont.setBold(true);
    title->setFont(titleFont);

    auto *intro = plainLabel(tr("Vesk lists the skills your AI coding tools read. None were found yet. "
                                "Vesk looks in your home folder:"),
                             content);
    m_secondary.append(intro);

    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(3);
    grid->setColumnStretch(1, 1);
    const auto addLine = [&](const QString &who, const QStringList &paths) {
        const int row = grid->rowCount();
        auto *name = plainLabel(who, content);
        name->setWordWrap(false);
        name->setFont(small);
        // Paths break after their separators, so a narrow column wraps them instead of cutting them.
        QString shown = paths.join(QStringLiteral(", "));
        shown.replace(u'/', QStringLiteral("/\u200b"));
        auto *where = plainLabel(shown, content);
        where->setFont(small);
        where->setTextInteractionFlags(Qt::TextSelectableByMouse);
        m_secondary.append(where);
        grid->addWidget(name, row, 0, Qt::AlignTop);
        grid->addWidget(where, row, 1, Qt::AlignTop);
        m_locationLines.append(who + QStringLiteral(": ") + paths.join(QStringLiteral(", ")));
    };
    for (const ToolHomeLocations &entry : homeLocationsByTool())
        addLine(Tools::displayName(entry.tool), entry.paths);
    const QStringList shared = sharedHomeLocations();
    if (!shared.isEmpty())
        addLine(tr("Most tools"), shared);

    // A word joiner keeps "~/Development" on one line.
    auto *projects = plainLabel(tr("And in each project inside the custom scan directories you add: a folder "
                                   "such as %1 whose projects hold .claude/skills, .agents/skills "
                                   "and the like.")
                                    .arg(QStringLiteral("~/⁠Development")),
                                content);
    m_secondary.append(projects);

    auto *addFolder = new QPushButton(tr("Add Projects Folder…"), content);
    addFolder->setObjectName(QStringLiteral("addProjectsFolder"));
    auto *newSkill = new QPushButton(tr("New Skill…"), content);
    newSkill->setObjectName(QStringLiteral("welcomeNewSkill"));
    connect(addFolder, &QPushButton::clicked, this, &WelcomeView::addProjectsFolderRequested);
    connect(newSkill, &QPushButton::clicked, this, &WelcomeView::newSkillRequested);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(addFolder);
    buttons->addWidget(newSkill);
    buttons->addStretch(1);

    auto *inner = new QWidget(content);
    inner->setMaximumWidth(620);
    auto *centred = new QHBoxLayout(content);
    centred->setContentsMargins(24, 0, 24, 0);
    centred->addStretch(1);
    centred->addWidget(inner, 100);
    centred->addStretch(1);
    auto *column = new QVBoxLayout(inner);
    column->setContentsMargins(0, 24, 0, 24);
    column->setSpacing(10);
    column->addWidget(title);
    column->addWidget(intro);
    column->addLayout(grid);
    column->addWidget(projects);
    column->addSpacing(4);
    column->addLayout(buttons);
    column->insertStretch(0, 1);
    column->addStretch(2);

    // A short window scrolls rather than cutting the buttons off.
    auto *scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(content);
    scroll->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    updateColors();
}

void WelcomeView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        updateColors();
    QWidget::changeEvent(event);
}

void WelcomeView::updateColors()
{
    const QColor secondary = PaletteColors::secondaryLabel(palette());
    for (QWidget *widget : std::as_const(m_secondary)) {
        QPalette pal = widget->palette();
        pal.setColor(QPalette::WindowText, secondary);
        widget->setPalette(pal);
    }
}
