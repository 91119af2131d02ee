#pragma once

#include "card/symboltext.h"
#include "library/records/skillartifact.h"

#include <QAbstractButton>

// One supporting file as a chip: an icon and colour chosen by its extension and
// its file name, with its path inside the skill folder as the tooltip. Clicking
// it asks for the file to be shown in the file manager.
class ArtifactBadge final : public QAbstractButton
{
    Q_OBJECT

public:
    explicit ArtifactBadge(const SkillArtifact &artifact, QWidget *parent = nullptr);

    const SkillArtifact &artifact() const { return m_artifact; }
    QColor chipColor() const { return m_chipColor; }
    QString symbolName() const { return m_content.symbolName; }

    QSize sizeHint() const override;

Q_SIGNALS:
    void revealRequested(const QString &path);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void updateStyle();

    SkillArtifact m_artifact;
    SymbolText m_content;
    QColor m_chipColor;
};
