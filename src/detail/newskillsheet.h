#pragma once

#include <QDialog>

class AppState;
class ModelContext;
class QComboBox;
class ErrorLabel;
class QLineEdit;
class QPushButton;

// The "New Skill" sheet: a name and a harness. Create writes the starter file,
// stores its record, selects it and closes; a failure is shown and the sheet stays.
// Cancel writes nothing.
class NewSkillSheet final : public QDialog
{
    Q_OBJECT

public:
    NewSkillSheet(AppState &state, ModelContext &context, QWidget *parent = nullptr);

private:
    void create();

    AppState &m_state;
    ModelContext &m_context;
    QLineEdit *m_name = nullptr;
    QComboBox *m_tool = nullptr;
    ErrorLabel *m_error = nullptr;
    QPushButton *m_create = nullptr;
};
