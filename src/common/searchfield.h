#pragma once

#include <QLineEdit>

// A line edit for search text: Escape clears what was typed, as in the search
// fields of other desktop applications. An empty field lets Escape through to
// whatever else listens for it. Down asks to move into the results.
class SearchField final : public QLineEdit
{
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

Q_SIGNALS:
    void resultsRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
