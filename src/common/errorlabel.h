#pragma once

#include <QLabel>

// The red line under a form that says why the last attempt failed. Hidden until
// there is something to say; the next error replaces the text.
class ErrorLabel final : public QLabel
{
    Q_OBJECT

public:
    explicit ErrorLabel(QWidget *parent = nullptr);

    void showError(const QString &message);
};
