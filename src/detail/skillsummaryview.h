#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class Skill;

// The read-only look at a skill in card mode: name, description, harnesses,
// where it lives, whether a tool stopped reading that folder, and the start of
// its instructions. Everything taken from the
// file is shown as plain text: a skill's text never loads images or styles.
class SkillSummaryView final : public QWidget
{
    Q_OBJECT

public:
    explicit SkillSummaryView(QWidget *parent = nullptr);

    void setSkill(Skill *skill);

    // The lines of `body` shown under the header: the first `maxLines` lines that
    // are not blank, cut at `maxCharacters`; "(No content)" when none is left.
    static QString preview(const QString &body, int maxLines = 20, int maxCharacters = 4000);

private:
    void updateContents();

    QPointer<Skill> m_skill;
    QLabel *m_name = nullptr;
    QLabel *m_description = nullptr;
    QLabel *m_tools = nullptr;
    QLabel *m_path = nullptr;
    QLabel *m_legacy = nullptr; // "<Tool> no longer reads this folder", when it applies
    QPlainTextEdit *m_body = nullptr;
};
