#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

// A strip across the top of the window that tells the user something went wrong
// without stopping them: a warning sign, a plain-text message and, optionally, one
// action. Hidden until showNotice().
class NoticeBar final : public QFrame
{
    Q_OBJECT

public:
    explicit NoticeBar(QWidget *parent = nullptr);

    // An empty `text` leaves the bar without a button.
    void setActionText(const QString &text);
    // A further button after the action; the caller connects to it.
    QPushButton *addButton(const QString &text, const QString &objectName);
    void showNotice(const QString &message);
    QString message() const;
    QPushButton *actionButton() const { return m_action; }

Q_SIGNALS:
    void actionTriggered();

protected:
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void updateColors();

    QLabel *m_icon = nullptr;
    QLabel *m_message = nullptr;
    QPushButton *m_action = nullptr;
};
