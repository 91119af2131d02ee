#pragma once

#include <QWidget>

class QPushButton;

// What an empty library shows in place of the list: that nothing was found yet,
// where Vesk looks (one short line per tool, from the location table, and the
// projects inside the custom scan directories), and the two ways to go on.
class WelcomeView final : public QWidget
{
    Q_OBJECT

public:
    explicit WelcomeView(QWidget *parent = nullptr);

    // The lines that say where Vesk looks, as shown ("Claude Code: ~/.claude/skills, …").
    QStringList locationLines() const { return m_locationLines; }

Q_SIGNALS:
    void addProjectsFolderRequested();
    void newSkillRequested();

protected:
    void changeEvent(QEvent *event) override;

private:
    void updateColors();

    QStringList m_locationLines;
    QList<QWidget *> m_secondary; // drawn in the secondary text colour
};
