#include "detail/newskillsheet.h"

#include "common/errorlabel.h"
#include "common/appstate.h"
#include "common/symbols.h"
#include "common/toolicon.h"
#include "detail/newskill.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

NewSkillSheet::NewSkillSheet(AppState &state, ModelContext &context, QWidget *parent)
    : QDialog(parent)
    , m_state(state)
    , m_context(context)
    , m_name(new QLineEdit(this))
    , m_tool(new QComboBox(this))
    , m_error(new ErrorLabel(this))
    , m_create(new QPushButton(tr("Create"), this))
{
    setWindowTitle(tr("New Skill"));

    auto *title = new QLabel(tr("New Skill"), this);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setBold(true);
    title->setFont(titleFont);

    m_name->setObjectName(QStringLiteral("skillName"));
    m_name->setPlaceholderText(tr("Skill name"));

    m_tool->setObjectName(QStringLiteral("tool"));
    const QColor symbolColor = palette().color(QPalette::Text);
    // Item data: the harness's raw value, or nothing for the shared folder.
    for (const NewSkillDestination &destination : newSkillDestinations()) {
        const QIcon icon = destination ? toolIcon(*destination, symbolColor)
                                       : Symbols::icon(QStringLiteral("folder"), symbolColor);
        m_tool->addItem(icon, destinationTitle(destination),
                        destination ? Tools::rawValue(*destination) : QString());
    }
    m_tool->setCurrentIndex(m_tool->findData(Tools::rawValue(ToolSource::Claude)));

    auto *form = new QFormLayout;
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(m_name);
    form->addRow(tr("Tool"), m_tool);

    auto *cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    m_create->setObjectName(QStringLiteral("create"));
    m_create->setDefault(true);
    m_create->setEnabled(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addWidget(m_create);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(20);
    layout->addWidget(title);
    layout->addLayout(form);
    layout->addWidget(m_error);
    layout->addLayout(buttons);
    setFixedWidth(400 + 2 * 24);

    // Escape rejects through QDialog; Return reaches the default button.
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_create, &QPushButton::clicked, this, &NewSkillSheet::create);
    connect(m_name, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_create->setEnabled(!text.isEmpty()); });
}

void NewSkillSheet::create()
{
    if (m_name->text().isEmpty())
        return;
    QString error;
    const NewSkillDestination destination = Tools::fromRawValue(m_tool->currentData().toString());
    if (Skill *skill = createSkill(m_context, destination, m_name->text(), &error)) {
        // Unsaved text in the editor may keep the old selection; the skill is made either way.
        m_state.requestSelectedSkill(skill);
        accept();
        return;
    }
    m_error->showError(error);
}
