#pragma once

#include <QString>
#include <QWidget>

class QLabel;

// A centred "nothing here" message: a large faint symbol, a title and a line of
// explanation. Used for the empty list and the detail placeholder.
class ContentUnavailableView final : public QWidget
{
    Q_OBJECT

public:
    ContentUnavailableView(const QString &title, const QString &symbolName,
                           const QString &description, QWidget *parent = nullptr);

    QString title() const;
    QString description() const;
    // Shown as plain text: either may quote what the user typed or named.
    void setContent(const QString &title, const QString &description);

protected:
    void changeEvent(QEvent *event) override;

private:
    void updateColors();

    QString m_symbolName;
    QLabel *m_icon = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_description = nullptr;
};
