#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTimer;
class QToolButton;

// Where `query` occurs in `text`, ignoring case, as sorted starting positions
// that do not overlap.
QList<int> findMatches(QStringView text, QStringView query);

// The find bar over the skill editor: every match of the typed text is marked
// as it is typed, Enter and Shift+Enter step to the next and previous match
// (wrapping round), Escape closes the bar and returns to the text.
class FindBar final : public QWidget
{
    Q_OBJECT

public:
    explicit FindBar(QPlainTextEdit *editor, QWidget *parent = nullptr);

    // Shows the bar with the field focused; a one-line selection becomes the query.
    void open();
    // The same, with the replace field and its buttons shown.
    void openReplace();
    bool isReplacing() const;
    // Replaces the current match and moves to the next; false when there is none.
    bool replaceCurrent();
    // Replaces every match as one step of the editor's undo; returns how many.
    int replaceAll();
    void setReplacement(const QString &text);
    void close();
    void findNext(bool backwards = false);

    QString query() const;
    void setQuery(const QString &query);
    const QList<int> &matches() const { return m_matches; }
    int currentMatch() const { return m_current; } // -1 when none
    QString statusText() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void search();
    void selectCurrent();
    void markVisibleMatches();
    void updateStatus();
    void updateIcons();

    QPlainTextEdit *m_editor = nullptr;
    QLineEdit *m_field = nullptr;
    QLineEdit *m_replaceField = nullptr;
    QToolButton *m_replace = nullptr;
    QToolButton *m_replaceAll = nullptr;
    QLabel *m_status = nullptr;
    QToolButton *m_previous = nullptr;
    QToolButton *m_next = nullptr;
    QToolButton *m_done = nullptr;
    QTimer *m_researchTimer = nullptr;
    QList<int> m_matches;
    int m_current = -1;
    int m_searchFrom = 0; // where the incremental search started
};
