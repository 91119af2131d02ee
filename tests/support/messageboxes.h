#pragma once

// Answers the message boxes a test provokes, from inside their own event loops:
// while it lives, every modal QMessageBox that opens is recorded and closed with
// the next answer in line (a standard button, or the object name of an added
// one). A box that finds no answer left is cancelled, and counted as such.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <variant>

class MessageBoxAnswers final : public QObject
{
public:
    using Answer = std::variant<QMessageBox::StandardButton, QString>;

    explicit MessageBoxAnswers(QList<Answer> answers = {})
        : m_answers(std::move(answers))
    {
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, &MessageBoxAnswers::answerOpenBox);
        m_timer.start();
    }

    void add(const Answer &answer) { m_answers.append(answer); }
    // The text of each box answered so far, in order.
    const QStringList &texts() const { return m_texts; }
    int unanswered() const { return m_unanswered; }

private:
    void answerOpenBox()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        m_texts.append(box->text());
        if (m_answers.isEmpty()) {
            ++m_unanswered;
            box->reject();
            return;
        }
        const Answer answer = m_answers.takeFirst();
        QAbstractButton *button = std::holds_alternative<QString>(answer)
            ? box->findChild<QAbstractButton *>(std::get<QString>(answer))
            : box->button(std::get<QMessageBox::StandardButton>(answer));
        if (button)
            button->click();
        else
            box->reject();
    }

    QTimer m_timer;
    QList<Answer> m_answers;
    QStringList m_texts;
    int m_unanswered = 0;
};
