#pragma once

#include <QFrame>
#include <QString>

class QButtonGroup;
class ErrorLabel;
class QLineEdit;
class QPushButton;

// The small popup form that makes a collection: a name, one of eighteen icons,
// Cancel and Create. It keeps the typed name and chosen icon between openings;
// a successful Create clears the name and closes it. It only asks: its owner
// decides whether the collection can be made and answers with finishCreate().
// The same form, with its values filled in and another button text, edits an
// existing collection.
class NewCollectionPopover final : public QFrame
{
    Q_OBJECT

public:
    explicit NewCollectionPopover(QWidget *parent = nullptr);

    // Opens below `anchor` (global coordinates).
    void popup(const QRect &anchor);

    QString name() const;
    QString icon() const { return m_icon; }
    QString errorText() const;

    // For editing: the button's text, and the values the form opens with.
    void setSubmitText(const QString &text);
    void setValues(const QString &name, const QString &icon);

    // Called with the outcome of createRequested(): an empty error closes the form.
    void finishCreate(const QString &error);

Q_SIGNALS:
    void createRequested(const QString &name, const QString &icon);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void selectIcon(const QString &icon);
    void updateCreateEnabled();

    QLineEdit *m_nameField = nullptr;
    QButtonGroup *m_iconButtons = nullptr;
    ErrorLabel *m_error = nullptr;
    QPushButton *m_create = nullptr;
    QString m_icon = QStringLiteral("folder");
};
