#include "detail/skilldetailview.h"

#include "common/palettecolors.h"
#include "library/homepath.h"
#include "library/skill.h"

#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QTextBrowser>
#include <QVBoxLayout>

SkillDetailView::SkillDetailView(QWidget *parent)
    : QWidget(parent)
    , m_name(new QLabel(this))
    , m_description(new QLabel(this))
    , m_tools(new QLabel(this))
    , m_path(new QLabel(this))
    , m_body(new QTextBrowser(this))
{
    QFont nameFont = m_name->font();
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.6);
    nameFont.setBold(true);
    m_name->setFont(nameFont);
    m_name->setWordWrap(true);
    m_name->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_description->setWordWrap(true);
    m_description->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette secondary = palette();
    secondary.setColor(QPalette::WindowText, PaletteColors::secondaryLabel(palette()));
    m_description->setPalette(secondary);
    m_tools->setPalette(secondary);
    m_path->setPalette(secondary);
    m_path->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_path->setWordWrap(true);
    m_body->setFrameShape(QFrame::NoFrame);
    m_body->setOpenExternalLinks(true);
    m_body->document()->setDocumentMargin(20);

    auto *header = new QVBoxLayout;
    header->setContentsMargins(20, 16, 20, 12);
    header->setSpacing(6);
    header->addWidget(m_name);
    header->addWidget(m_description);
    header->addWidget(m_tools);
    header->addWidget(m_path);
    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(header);
    layout->addWidget(line);
    layout->addWidget(m_body, 1);
}

void SkillDetailView::setSkill(Skill *skill)
{
    if (m_skill == skill)
        return;
    if (m_skill)
        disconnect(m_skill, nullptr, this, nullptr);
    m_skill = skill;
    if (m_skill) {
        for (auto signal : {&Skill::nameChanged, &Skill::skillDescriptionChanged, &Skill::contentChanged,
                            &Skill::filePathChanged, &Skill::toolSourcesRawChanged})
            connect(m_skill, signal, this, &SkillDetailView::updateContents);
    }
    updateContents();
}

void SkillDetailView::updateContents()
{
    if (!m_skill) {
        m_name->clear();
        m_description->clear();
        m_tools->clear();
        m_path->clear();
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
        where += QStringLiteral("  —  project %1").arg(*project);
    m_tools->setText(where);
    m_path->setText(abbreviateHome(m_skill->filePath()));
    m_body->setMarkdown(m_skill->content());
}
