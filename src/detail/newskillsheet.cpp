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
#include <QLocale>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

namespace {

constexpr int kMargin = 24;
constexpr int kFormWidth = 420;

// A zero-width space after each slash lets a word-wrapped label break a path there.
QString breakablePath(QString text)
{
    return text.replace(u'/', QStringLiteral("/\u200b"));
}

} // namespace

NewSkillSheet::NewSkillSheet(AppState &state, ModelContext &context, QWidget *parent)
    : QDialog(parent)
    , m_state(state)
    , m_context(context)
    , m_name(new QLineEdit(this))
    , m_description(new QLineEdit(this))
    , m_tool(new QComboBox(this))
    , m_place(new QComboBox(this))
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
    m_description->setObjectName(QStringLiteral("description"));
    m_description->setPlaceholderText(tr("What it does and when to use it (optional)"));
    m_description->setMaxLength(maxNewSkillDescription);

    m_tool->setObjectName(QStringLiteral("tool"));
    m_tool->setToolTip(tr("Aider is not offered: it reads no skill folder, only the conventions files "
                          "named in its own configuration."));
    const QColor symbolColor = palette().color(QPalette::Text);
    // Item data: the harness's raw value, or nothing for the shared folder.
    for (const NewSkillDestination &destination : newSkillDestinations()) {
        const QIcon icon = destination ? toolIcon(*destination, symbolColor)
                                       : Symbols::icon(QStringLiteral("folder"), symbolColor);
        m_tool->addItem(icon, destinationTitle(destination),
                        destination ? Tools::rawValue(*destination) : QString());
    }
    // The harness chosen in the settings; Claude Code when none (or one without a
    // skill folder of its own) is.
    const auto stored = Tools::fromRawValue(QSettings().value(QLatin1String(SettingsKeys::defaultTool)).toString());
    const int storedIndex = stored ? m_tool->findData(Tools::rawValue(*stored)) : -1;
    m_tool->setCurrentIndex(storedIndex >= 0 ? storedIndex : m_tool->findData(Tools::rawValue(ToolSource::Claude)));

    // Item data: the project's folder, or nothing for the home folder. Folder names
    // are shown as they are on disk, as plain text, elided by the box when long.
    m_place->setObjectName(QStringLiteral("place"));
    m_place->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_place->setMinimumContentsLength(16);
    m_place->addItem(tr("Home folder"), QString());
    for (const QString &project : newSkillProjects(readCustomScanPaths()))
        m_place->addItem(abbreviateHome(project), project);
    m_place->setToolTip(tr("Your home folder, or a project: a folder inside one of the custom scan "
                           "directories set in Settings."));

    m_target->setObjectName(QStringLiteral("target"));
    m_target->setTextFormat(Qt::PlainText);
    m_target->setWordWrap(true);
    m_target->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont small = m_target->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    m_target->setFont(small);
    QPalette secondary = m_target->palette();
    secondary.setColor(QPalette::WindowText, PaletteColors::secondaryLabel(palette()));
    m_target->setPalette(secondary);

    auto *form = new QFormLayout;
    form->setContentsMargins(0, 0, 0, 0);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->addRow(tr("Name"), m_name);
    form->addRow(tr("Description"), m_description);
    form->addRow(tr("Tool"), m_tool);
    form->addRow(tr("Where"), m_place);

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
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(16);
    layout->addWidget(title);
    layout->addLayout(form);
    layout->addWidget(m_target);
    layout->addWidget(m_error);
    layout->addLayout(buttons);
    setFixedWidth(kFormWidth + 2 * kMargin);

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
        choicesChanged();
    });
    connect(m_description, &QLineEdit::textChanged, this, [this](const QString &text) {
        const QString line = singleLineName(text);
        if (line != text) {
            const int cursor = m_description->cursorPosition();
            m_description->setText(line);
            m_description->setCursorPosition(cursor);
        }
    });
    connect(m_tool, &QComboBox::currentIndexChanged, this, &NewSkillSheet::choicesChanged);
    connect(m_place, &QComboBox::currentIndexChanged, this, &NewSkillSheet::choicesChanged);
    updateTarget();
}

NewSkillDestination NewSkillSheet::destination() const
{
    return Tools::fromRawValue(m_tool->currentData().toString());
}

QString NewSkillSheet::project() const
{
    return m_place->currentData().toString();
}

QString NewSkillSheet::targetText() const
{
    const NewSkillDestination chosen = destination();
    const std::optional<NewSkillPreview> preview = previewNewSkill(chosen, m_name->text(), project());
    if (!preview)
        return {};
    const QString path = abbreviateHome(preview->filePath);
    if (preview->exists)
        return tr("%1 already exists. Choose another name, tool or place.").arg(path);
    QStringList others;
    for (ToolSource tool : preview->readers) {
        if (!chosen || tool != *chosen)
            others.append(Tools::displayName(tool));
    }
    if (others.isEmpty())
        return path;
    return tr("%1\nAlso read by %2.").arg(path, QLocale().createSeparatedList(others));
}

void NewSkillSheet::choicesChanged()
{
    // What went wrong was about the old choices.
    m_error->clear();
    m_error->hide();
    updateTarget();
}

void NewSkillSheet::updateTarget()
{
    const NewSkillDestination chosen = destination();
    const std::optional<NewSkillPreview> preview = previewNewSkill(chosen, m_name->text(), project());
    const QString text = targetText();
    m_target->setText(breakablePath(text));
    m_target->setVisible(!text.isEmpty());
    // An unusable name is said on Create; a taken place is said here, so Create waits.
    m_create->setEnabled(!m_name->text().isEmpty() && !(preview && preview->exists));
    fitToContents();
}

void NewSkillSheet::fitToContents()
{
    // A top-level window does not follow its word-wrapped labels by itself: without
    // this the last line of a grown label is cut off at the bottom.
    if (QLayout *grid = layout()) {
        grid->activate();
        const int height = grid->totalHeightForWidth(width());
        setFixedHeight(height > 0 ? height : sizeHint().height());
    }
}

void NewSkillSheet::create()
{
    if (m_name->text().isEmpty() || !m_create->isEnabled())
        return;
    QString error;
    if (Skill *skill = createSkill(m_context, destination(), m_name->text(), &error, project(),
                                   m_description->text())) {
        // Unsaved text in the editor may keep the old selection; the skill is made either way.
        m_state.requestSelectedSkill(skill);
        accept();
        return;
    }
    // The error stays until the name, tool or place changes.
    m_error->showError(error);
    updateTarget();
}
