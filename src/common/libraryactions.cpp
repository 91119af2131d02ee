#include "common/libraryactions.h"

#include "library/modelcontext.h"

void toggleFavorite(ModelContext &context, Skill &skill)
{
    skill.setIsFavorite(!skill.isFavorite());
    context.save();
}

SkillCollection *createCollection(ModelContext &context, const QString &name, const QString &icon,
                                  QString *error)
{
    // Sort orders are never renumbered, so after a deletion two collections may share one.
    const qint64 sortOrder = context.collections().size();
    SkillCollection *collection =
        context.insert(std::make_unique<SkillCollection>(name, icon, sortOrder), error);
    if (collection)
        context.save();
    return collection;
}

void deleteCollection(ModelContext &context, SkillCollection &collection)
{
    context.remove(&collection);
    context.save();
}

const QStringList &availableCollectionIcons()
{
    static const QStringList icons{
        QStringLiteral("folder"),   QStringLiteral("star"),       QStringLiteral("bookmark"),
        QStringLiteral("tag"),      QStringLiteral("tray"),       QStringLiteral("archivebox"),
        QStringLiteral("doc.text"), QStringLiteral("gearshape"),  QStringLiteral("wrench"),
        QStringLiteral("hammer"),   QStringLiteral("paintbrush"), QStringLiteral("wand.and.stars"),
        QStringLiteral("terminal"), QStringLiteral("network"),    QStringLiteral("globe"),
        QStringLiteral("bolt"),     QStringLiteral("flame"),      QStringLiteral("leaf"),
    };
    return icons;
}
