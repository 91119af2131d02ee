#pragma once

#include "library/records/skill.h"

#include <QWidget>

class ClampedLabel;

// The frontmatter keys of a skill with their values, one striped row each, on a
// softly filled and outlined rounded rectangle. Values are plain text, at most
// two lines, and can be selected.
class MetadataTable final : public QWidget
{
    Q_OBJECT

public:
    MetadataTable(const QStringList &keys, const Skill::Frontmatter &frontmatter, const QPalette &palette,
                  QWidget *parent = nullptr);

    QStringList keys() const { return m_keys; }
    QList<ClampedLabel *> valueLabels() const { return m_values; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QStringList m_keys;
    QList<QWidget *> m_rows;
    QList<ClampedLabel *> m_values;
};
