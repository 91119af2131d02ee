#pragma once

#include "library/disk/fileproblems.h"

#include <QTreeWidget>

// The files a scan left out, one row each: where it is and why, as plain text.
class ProblemsList final : public QTreeWidget
{
    Q_OBJECT

public:
    explicit ProblemsList(QWidget *parent = nullptr);

    void setProblems(const QList<FileProblem> &problems);
};
