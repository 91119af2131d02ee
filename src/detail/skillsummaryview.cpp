#include "detail/skillsummaryview.h"

#include "common/palettecolors.h"
#include "library/homepath.h"
#include "library/skill.h"
#include "library/skilllocations.h"

#include <QDir>
#include <QFileInfo>

#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

QLabel *plainLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

SkillSummaryView::SkillSummaryView(QWidget *parent)
    : QWidget(parent)
    , m_name(plainLabel(this))
    , m_description(plainLabel(this))
    , m_tools(plainLabel(this))
    , m_path(plainLabel(this))
    , m_legacy(plainLabel(this))
    , m_body(new QPlainTextEdit(this))
{
    QFont nameFont = m_name->font();
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.6);
    nameFont.setBold(true);
    m_name->setFont(nameFont);
    QPalette secondary = palette();
    secondary.setColor(QPalette::WindowText, PaletteColors::secondaryLabel(palette()));
    m_description->setPalette(secondary);
    m_tools->setPalette(secondary);
    m_path->setPalette(secondary);
    m_path->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_legacy->setObjectName(QStringLiteral("legacyNote"));
    QPalette warning = palette();
    warning.setColor(QPalette::WindowText, PaletteColors::systemOrange(palette()));
    m_legacy->setPalette(warning);
    m_legacy->hide();
    m_body->setObjectName(QStringLiteral("summaryBody"));
    m_body->setReadOnly(true);
    m_body->setFrameShape(QFrame::NoFrame);
    m_body->document()->setDocumentMargin(20);

    auto *header = new QVBoxLayout;
    header->setContentsMargins(20, 16, 20, 12);
    header->setSpacing(6);
    header->addWidget(m_name);
    header->addWidget(m_description);
    header->addWidget(m_tools);
    header->addWidget(m_path);
    header->addWidget(m_legacy);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(header);
    layout->addWidget(m_body, 1);
}

QString SkillSummaryView::preview(const QString &body, int maxLines, int maxCharacters)
{
    QStringList kept;
    qsizetype length = 0;
    for (QStringView line : QStringView(body).split(u'\n')) {
        if (line.trimmed().isEmpty())
            continue;
        kept.append(line.left(maxCharacters - length).toString());
        length += kept.last().size();
        if (kept.size() == maxLines || length >= maxCharacters)
            break;
    }
    return kept.isEmpty() ? tr("(No content)") : kept.join(u'\n');
}

void SkillSummaryView::setSkill(Skill *skill)
{
    if (m_skill == skill)
        return;
    if (m_skill)
        disconnect(m_skill, nullptr, this, nullptr);
    m_skill = skill;
    if (m_skill) {
        for (auto signal : {&Skill::nameChanged, &Skill::skillDescriptionChanged, &Skill::contentChanged,
                            &Skill::filePathChanged, &Skill::toolSourcesRawChanged,
                            &Skill::installedPathsDataChanged})
            connect(m_skill, signal, this, &SkillSummaryView::updateContents);
    }
    updateContents();
}

void SkillSummaryView::updateContents()
{
    if (!m_skill) {
        for (QLabel *label : {m_name, m_description, m_tools, m_path, m_legacy})
            label->clear();
        m_legacy->hide();
        m_body->clear();
        return;
    }
    m_name->setText(m_skill->name());
    m_description->setText(m_skill->skillDescription());
    m_description->setVisible(!m_skill->skillDescription().isEmpty());
    QStringList tools;
    for (ToolSource tool : m_skill->toolSources())
        tools.append(Tools::displayName(tool));
    QString where = tools.join(QStringLiteral(" · "));
    if (const auto project = m_skill->projectName())
        where += tr("  —  project %1").arg(*project);
    m_tools->setText(where);
    m_path->setText(abbreviateHome(m_skill->filePath()));
    QStringList notes;
    QStringList folders;
    for (const LegacyNote &note : SkillLocations::legacyNotes(m_skill->installedPaths(), QDir::homePath())) {
        if (!notes.contains(note.text))
            notes.append(note.text);
        folders.append(abbreviateHome(QFileInfo(note.path).path()));
    }
    m_legacy->setText(notes.join(u'\n'));
    m_legacy->setToolTip(folders.join(u'\n'));
    m_legacy->setVisible(!notes.isEmpty());
    m_body->setPlainText(preview(m_skill->content()));
}
