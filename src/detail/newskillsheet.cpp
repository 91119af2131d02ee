#include "detail/newskillsheet.h"

#include "common/errorlabel.h"
#include "common/appstate.h"
#include "common/symbols.h"
#include "common/toolicon.h"
#include "common/palettecolors.h"
#include "library/catalogue/homepath.h"
#include "library/catalogue/settingskeys.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

NewSkillSheet::NewSkillSheet(AppState &state, ModelContext &context, QWidget *parent)
    : QDialog(parent)
    , m_state(state)
    , m_context(context)
    , m_name(new QLineEdit(this))
    , m_tool(new QComboBox(this))
    , m_target(new QLabel(this))
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
    // The harness chosen in the settings; Claude Code when none (or Custom, which
    // has no folder of its own) is.
    const auto stored = Tools::fromRawValue(QSettings().value(QLatin1String(SettingsKeys::defaultTool)).toString());
    const int storedIndex = stored ? m_tool->findData(Tools::rawValue(*stored)) : -1;
    m_tool->setCurrentIndex(storedIndex >= 0 ? storedIndex : m_tool->findData(Tools::rawValue(ToolSource::Claude)));

    m_target->setObjectName(QStringLiteral("target"));
    m_target->setTextFormat(Qt::PlainText);
    m_target->setWordWrap(true);
    QFont small = m_target->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    m_target->setFont(small);
    QPalette secondary = m_target->palette();
    secondary.setColor(QPalette::WindowText, PaletteColors::secondaryLabel(palette()));
    m_target->setPalette(secondary);

    auto *form = new QFormLayout;
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(m_name);
    form->addRow(m_target);
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
    connect(m_name, &QLineEdit::textChanged, this, [this](const QString &text) {
        // A name is one line: pasted line breaks become spaces as they arrive.
        const QString line = singleLineName(text);
        if (line != text) {
            const int cursor = m_name->cursorPosition();
            m_name->setText(line);
            m_name->setCursorPosition(cursor);
            return;
        }
        m_create->setEnabled(!text.isEmpty());
        updateTarget();
    });
    connect(m_tool, &QComboBox::currentIndexChanged, this, &NewSkillSheet::updateTarget);
    updateTarget();
}

NewSkillDestination NewSkillSheet::destination() const
{
    return Tools::fromRawValue(m_tool->currentData().toString());
}

QString NewSkillSheet::targetText() const
{
    const std::optional<NewSkillPreview> preview = previewNewSkill(destination(), m_name->text());
    if (!preview)
        return {};
    const QString path = abbreviateHome(preview->filePath);
    if (!preview->exists)
        return path;
    if (preview->oneFile)
        return tr("%1 — %2 keeps one file here, and it already exists.")
            .arg(path, destinationTitle(destination()));
    return tr("%1 — this file already exists.").arg(path);
}

void NewSkillSheet::updateTarget()
{
    m_target->setText(targetText());
    m_target->setVisible(!m_target->text().isEmpty());
}

void NewSkillSheet::create()
{
    if (m_name->text().isEmpty())
        return;
    QString error;
    if (Skill *skill = createSkill(m_context, destination(), m_name->text(), &error)) {
        // Unsaved text in the editor may keep the old selection; the skill is made either way.
        m_state.requestSelectedSkill(skill);
        accept();
        return;
    }
    m_error->showError(error);
    updateTarget();
}
