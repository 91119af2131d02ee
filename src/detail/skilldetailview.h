#pragma once

#include "library/skill.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QTextBrowser;

// The detail column for the selected skill: its name, description, harnesses,
// where it lives, and its instructions rendered as Markdown. Read-only.
class SkillDetailView final : public QWidget
{
    Q_OBJECT

public:
    explicit SkillDetailView(QWidget *parent = nullptr);

    void setSkill(Skill *skill);
    Skill *skill() const { return m_skill.data(); }

private:
    void updateContents();

    QPointer<Skill> m_skill;
    QLabel *m_name = nullptr;
    QLabel *m_description = nullptr;
    QLabel *m_tools = nullptr;
    QLabel *m_path = nullptr;
    QTextBrowser *m_body = nullptr;
};
