#pragma once

#include "common/itemroles.h"
#include "common/pacedrefresh.h"
#include "common/sidebarfilter.h"
#include "library/records/skillcollection.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QSet>
#include <QList>
#include <QPointer>

class LibraryHealth;
class ModelContext;
class Skill;
class SkillCollection;

// The sidebar's rows: "Library" (all skills, favorites, the skills that need
// attention once the library's health is known, those turned off), "Harnesses" (each harness
// that has skills, in catalogue order), "Projects" (each project that has skills,
// shown only when one has) and "Collections" (each collection, then the
// "New collection" row). Counts follow the store live; a burst of store changes,
// such as a whole scan, is folded into one update.
class SidebarModel final : public QAbstractItemModel
{
    Q_OBJECT

public:
    explicit SidebarModel(ModelContext &context, QObject *parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Skills dragged from the list and dropped on a collection join it (and the
    // store is saved); a drop anywhere else is refused.
    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override;
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

    // The row standing for `filter`, or an invalid index when none is listed.
    QModelIndex indexForFilter(const SidebarFilter &filter) const;
    QModelIndex newCollectionIndex() const;

    // Brings the rows up to date now instead of on the next turn of the event loop.
    void refresh();

    // Adds "Needs Attention", counting the skills whose checks found errors or warnings.
    void setHealth(LibraryHealth *health);

private:
    struct Row {
        SidebarRowKind kind = SidebarRowKind::Filter;
        QString title;
        QString symbolName;
        int toolSource = -1;
        SidebarFilter filter;
        int count = 0;
        QPointer<SkillCollection> collection;
    };
    struct Section {
        QString title;
        QList<Row> rows;
    };

    // What a record adds to the counts. Finding its project walks its path, so it
    // is kept until the record changes or the scan settings do; the counts follow
    // each record's changes, so that a refresh in a large library goes over only
    // the records that changed since the last.
    struct Placement {
        QString project; // empty outside any project
        bool turnedOff = false;
        bool favorite = false;
        quint32 tools = 0; // a bit per ToolSource
    };
    struct Counts {
        int favorites = 0;
        int turnedOff = 0;
        QList<int> tools;
        QHash<QString, int> projects;
    };

    void scheduleRefresh() { m_pacing.schedule(); }
    void recountAttention();
    void rebuild();
    QList<Section> buildSections();
    // Brings the counts up to date with the records placed afresh, with the scan
    // settings buildSections() last read.
    void placeChanged();
    void place(Skill *skill);
    void count(const Placement &placement, int sign);
    // The record's counts no longer hold; with `again`, it is placed on the next refresh.
    void unplace(Skill *skill, bool again);
    static bool sameShape(const QList<Section> &a, const QList<Section> &b);
    const Row *rowAt(const QModelIndex &index) const;
    SkillCollection *dropTarget(const QMimeData *data, int row, const QModelIndex &parent) const;

    ModelContext &m_context;
    QPointer<LibraryHealth> m_health;
    QList<Section> m_sections;
    QHash<const Skill *, Placement> m_placements;
    QSet<Skill *> m_unplaced;      // records inserted or changed since the last refresh
    bool m_placesEverything = true; // every record is placed afresh on the next refresh
    Counts m_counts;
    QStringList m_placedWithRoots;   // the custom scan folders m_placements were found with
    QString m_placedWithTurnedOff;   // and the turned-off folder
    PacedRefresh m_pacing{[this] { rebuild(); }};
};
