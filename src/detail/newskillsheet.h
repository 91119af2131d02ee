#pragma once

#include "library/files/newskill.h"

#include <QDialog>

class AppState;
class ModelContext;
class QComboBox;
class ErrorLabel;
class QLabel;
class QLineEdit;
class QPushButton;

// The "New Skill" sheet: a name, an optional description, a harness (starting at
// the one chosen in the settings) and where it goes: the home folder or one of the
// projects inside the custom scan directories. Under them it shows the file Create
// will write and which tools read it there; while that file exists it says so and
// Create stays disabled. Create writes the starter file, stores its record, selects
// it and closes; a failure is shown until the name, tool or place changes. Cancel
// writes nothing.
class NewSkillSheet final : public QDialog
{
    Q_OBJECT

public:
    NewSkillSheet(AppState &state, ModelContext &context, QWidget *parent = nullptr);

    // The lines under the choices: the file Create would write, and whether it
    // exists or who else reads it. Empty while the name is unusable.
    QString targetText() const;

private:
    void create();
    void choicesChanged();
    void updateTarget();
    // The label's text wraps at path separators, so a long path never runs out of the sheet.
    void fitToContents();
    NewSkillDestination destination() const;
    QString project() const;

    AppState &m_state;
    ModelContext &m_context;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_description = nullptr;
    QComboBox *m_tool = nullptr;
    QComboBox *m_place = nullptr;
    QLabel *m_target = nullptr;
    ErrorLabel *m_error = nullptr;
    QPushButton *m_create = nullptr;
};
