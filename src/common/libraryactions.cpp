#include "common/libraryactions.h"

#include "library/store/modelcontext.h"

#include <QCoreApplication>

namespace {

bool acceptName(const QString &name, QString *error)
{
    if (!name.isEmpty())
        return true;
    if (error)
        *error = QCoreApplication::translate("LibraryActions", "A collection needs a name.");
    return false;
}

} // namespace

void toggleFavorite(ModelContext &context, Skill &skill)
{
    skill.setIsFavorite(!skill.isFavorite());
    context.save();
}

QString collectionNameFromInput(const QString &typed)
{
    QString name = typed;
    name.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar &c : name) {
        if (c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator
            || c == u'\t' || c == u'\v' || c == u'\f')
            c = u' ';
    }
    return name.trimmed();
}

SkillCollection *createCollection(ModelContext &context, const QString &typedName, const QString &icon,
                                  QString *error)
{
    const QString name = collectionNameFromInput(typedName);
    if (!acceptName(name, error))
        return nullptr;
    // Sort orders are never renumbered, so after a deletion two collections may share one.
    const qint64 sortOrder = context.collections().size();
    SkillCollection *collection =
        context.insert(std::make_unique<SkillCollection>(name, icon, sortOrder), error);
    if (collection)
        context.save();
    return collection;
}

bool editCollection(ModelContext &context, SkillCollection &collection, const QString &typedName,
                    const QString &icon, QString *error)
{
    const QString name = collectionNameFromInput(typedName);
    if (!acceptName(name, error) || !context.rename(&collection, name, error))
        return false;
    collection.setIcon(icon);
    context.save();
    return true;
}

void deleteCollection(ModelContext &context, SkillCollection &collection)
{
    context.remove(&collection);
    context.save();
}

bool isMember(const Skill &skill, const SkillCollection &collection)
{
    const QList<SkillCollection *> memberships = skill.collections();
    return std::any_of(memberships.cbegin(), memberships.cend(),
                       [&](const SkillCollection *held) { return held->name() == collection.name(); });
}

void toggleMembership(ModelContext &context, Skill &skill, SkillCollection &collection)
{
    if (isMember(skill, collection)) {
        for (SkillCollection *held : skill.collections()) {
            if (held->name() == collection.name())
                held->removeSkill(&skill);
        }
    } else {
        collection.addSkill(&skill);
    }
    context.save();
}

int addToCollection(ModelContext &context, const QList<Skill *> &skills, SkillCollection &collection)
{
    int added = 0;
    for (Skill *skill : skills) {
        if (skill && !isMember(*skill, collection)) {
            collection.addSkill(skill);
            ++added;
        }
    }
    if (added > 0)
        context.save();
    return added;
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
