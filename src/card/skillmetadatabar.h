#pragma once

#include <QPointer>
#include <QWidget>

class ClampedLabel;
class CollectionPicker;
class ModelContext;
class QHBoxLayout;
class QLabel;
class QTimer;
class Skill;
class SymbolButton;

// The strip along the bottom of the detail pane: where the skill is installed
// (its harnesses' icons and its path, both listing every installed path in their
// tooltip), its size, the button that opens the collection picker, and how long
// ago the file changed. It follows the record and the collections live.
class SkillMetadataBar final : public QWidget
{
    Q_OBJECT

public:
    explicit SkillMetadataBar(ModelContext &context, QWidget *parent = nullptr);

    void setSkill(Skill *skill);
    Skill *skill() const { return m_skill.data(); }

    CollectionPicker *collectionPicker() const { return m_picker; }
    SymbolButton *collectionsButton() const { return m_collectionsButton; }
    // The installed paths, one per line, the home folder written as "~".
    QString installedPathsText() const;
    // "link to …" for a skill file that is a link (or in a linked skill folder); empty otherwise.
    static QString linkText(const QString &filePath);

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void scheduleRefresh();
    void refresh();
    void refreshRelativeDate();
    void openPicker();
    void fitToWidth();
    // The width every part needs with these gaps, the path at its shortest.
    int widthNeeded(int gap, int iconGap) const;

    QPointer<Skill> m_skill;
    QWidget *m_harnesses = nullptr;
    QHBoxLayout *m_harnessIcons = nullptr;
    ClampedLabel *m_path = nullptr;
    ClampedLabel *m_link = nullptr; // where a linked file really is
    QLabel *m_size = nullptr;
    SymbolButton *m_collectionsButton = nullptr;
    QLabel *m_date = nullptr;
    CollectionPicker *m_picker = nullptr;
    QTimer *m_clock = nullptr;
    bool m_refreshScheduled = false;
};
