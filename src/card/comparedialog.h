#pragma once

#include "library/checks/textdiff.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;

// Two copies of a skill side by side, read-only: each line beside its match in
// the other file, lines that differ tinted (removed on the left, added on the
// right, changed on both), both scrolled together. Escape or Close closes it.
// Both files are read as bounded plain text; nothing in them is interpreted.
class CompareDialog final : public QDialog
{
    Q_OBJECT

public:
    CompareDialog(const QString &leftPath, const QString &rightPath, QWidget *parent = nullptr);

    // What each side is called, in place of its path above it and as its
    // accessible name ("As installed", "Yours").
    void setSideNames(const QString &left, const QString &right);

    const TextDiff &diff() const { return m_diff; }
    QPlainTextEdit *leftView() const { return m_left; }
    QPlainTextEdit *rightView() const { return m_right; }
    QLabel *summaryLabel() const { return m_summary; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void fill();
    void tint();

    QString m_leftPath;
    QString m_rightPath;
    QString m_leftError;  // why the file could not be read; empty when it was
    QString m_rightError;
    TextDiff m_diff;
    QPlainTextEdit *m_left = nullptr;
    QPlainTextEdit *m_right = nullptr;
    QLabel *m_summary = nullptr;
    QLabel *m_leftName = nullptr;
    QLabel *m_rightName = nullptr;
};
