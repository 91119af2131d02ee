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

// The "New Skill" sheet: a name and a harness, starting at the harness chosen in
// the settings. Under the name it shows the file Create will write, and says so
// before Create is pressed when that file exists already. Create writes the
// starter file, stores its record, selects it and closes; a failure is shown and
// the sheet stays. Cancel writes nothing.
class NewSkillSheet final : public QDialog
{
    Q_OBJECT

public:
    NewSkillSheet(AppState &state, ModelContext &context, QWidget *parent = nullptr);

    // The line under the name: the file Create would write, and whether it exists.
    QString targetText() const;

private:
    void create();
    void updateTarget();
    NewSkillDestination destination() const;

    AppState &m_state;
    ModelContext &m_context;
    QLineEdit *m_name = nullptr;
    QComboBox *m_tool = nullptr;
    QLabel *m_target = nullptr;
    ErrorLabel *m_error = nullptr;
    QPushButton *m_create = nullptr;
};
