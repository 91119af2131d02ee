#pragma once

#include "library/checks/finding.h"

#include <QListView>

class FindingListModel;

// The strip under the editor's text listing what the checks found in it. Enter,
// a click or a double click on a finding with a line asks for that line.
// Hidden while there is nothing to list.
class FindingStrip final : public QListView
{
    Q_OBJECT

public:
    explicit FindingStrip(QWidget *parent = nullptr);

    void setFindings(const QList<Finding> &findings);
    const QList<Finding> &findings() const;
    FindingListModel *findingModel() const { return m_model; }

    QSize sizeHint() const override;

Q_SIGNALS:
    void lineActivated(int line);

protected:
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void activate(const QModelIndex &index);

    FindingListModel *m_model = nullptr;
};
