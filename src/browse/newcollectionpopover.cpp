#include "browse/newcollectionpopover.h"

#include "common/errorlabel.h"
#include "common/palettecolors.h"
#include "common/symbols.h"
#include "common/libraryactions.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

NewCollectionPopover::NewCollectionPopover(QWidget *parent)
    : QFrame(parent, Qt::Popup)
    , m_nameField(new QLineEdit(this))
    , m_iconButtons(new QButtonGroup(this))
    , m_error(new ErrorLabel(this))
    , m_create(new QPushButton(tr("Create"), this))
{
    setObjectName(QStringLiteral("newCollectionPopover"));
    setFrameShape(QFrame::StyledPanel);
    setFixedWidth(240 + 24);

    m_nameField->setPlaceholderText(tr("Collection name"));
    m_nameField->setClearButtonEnabled(true);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(8);
    const QStringList &icons = availableCollectionIcons();
    for (int i = 0; i < icons.size(); ++i) {
        auto *button = new QToolButton(this);
        button->setObjectName(icons.at(i));
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setFixedSize(28, 28);
        button->setIconSize(QSize(16, 16));
        button->setIcon(Symbols::icon(icons.at(i), PaletteColors::label(palette())));
        button->setToolTip(icons.at(i));
        m_iconButtons->addButton(button, i);
        grid->addWidget(button, i / 6, i % 6, Qt::AlignCenter);
    }
    m_iconButtons->setExclusive(true);
    const QColor accent = PaletteColors::accent(palette());
    setStyleSheet(QStringLiteral("QToolButton { border: none; border-radius: 4px; background: transparent; }"
                                 "QToolButton:checked { background: rgba(%1, %2, %3, 0.2); }"
                                 "QToolButton:hover:!checked { background: rgba(%1, %2, %3, 0.08); }")
                      .arg(accent.red()).arg(accent.green()).arg(accent.blue()));
    connect(m_iconButtons, &QButtonGroup::buttonClicked, this,
            [this](QAbstractButton *button) { selectIcon(button->objectName()); });

    auto *cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    m_create->setObjectName(QStringLiteral("create"));
    m_create->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    buttons->addWidget(m_create);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);
    layout->addWidget(m_nameField);
    layout->addLayout(grid);
    layout->addWidget(m_error);
    layout->addLayout(buttons);

    connect(cancel, &QPushButton::clicked, this, &NewCollectionPopover::hide);
    connect(m_create, &QPushButton::clicked, this, [this] {
        if (!collectionNameFromInput(m_nameField->text()).isEmpty())
            Q_EMIT createRequested(m_nameField->text(), m_icon);
    });
    connect(m_nameField, &QLineEdit::returnPressed, m_create, &QPushButton::click);
    connect(m_nameField, &QLineEdit::textChanged, this, [this] {
        m_error->hide();
        updateCreateEnabled();
    });
    selectIcon(m_icon);
    updateCreateEnabled();
}

void NewCollectionPopover::popup(const QRect &anchor)
{
    m_error->hide();
    adjustSize();
    QPoint position(anchor.left(), anchor.bottom() + 4);
    if (const QScreen *screen = QGuiApplication::screenAt(anchor.center())) {
        const QRect available = screen->availableGeometry();
        if (position.y() + height() > available.bottom())
            position.setY(anchor.top() - height() - 4);
        position.setX(std::clamp(position.x(), available.left(), available.right() - width()));
    }
    move(position);
    show();
    m_nameField->setFocus();
}

QString NewCollectionPopover::name() const
{
    return m_nameField->text();
}

QString NewCollectionPopover::errorText() const
{
    return m_error->isHidden() ? QString() : m_error->text();
}

void NewCollectionPopover::setSubmitText(const QString &text)
{
    m_create->setText(text);
}

void NewCollectionPopover::setValues(const QString &name, const QString &icon)
{
    m_nameField->setText(name);
    selectIcon(icon);
}

void NewCollectionPopover::finishCreate(const QString &error)
{
    if (!error.isEmpty()) {
        m_error->showError(error);
        adjustSize();
        m_nameField->setFocus();
        m_nameField->selectAll();
        return;
    }
    m_nameField->clear();
    hide();
}

void NewCollectionPopover::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QFrame::keyPressEvent(event);
}

void NewCollectionPopover::selectIcon(const QString &icon)
{
    m_icon = icon;
    for (QAbstractButton *button : m_iconButtons->buttons())
        button->setChecked(button->objectName() == icon);
}

void NewCollectionPopover::updateCreateEnabled()
{
    // A name of spaces alone is no name.
    m_create->setEnabled(!collectionNameFromInput(m_nameField->text()).isEmpty());
}
