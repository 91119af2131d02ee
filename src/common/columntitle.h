#pragma once

#include <QLabel>

// The bold heading at the top of a window column ("Vesk", "All skills"). All
// columns use the same height so their headings line up.
class ColumnTitle final : public QLabel
{
    Q_OBJECT

public:
    explicit ColumnTitle(const QString &text = {}, QWidget *parent = nullptr);
};
