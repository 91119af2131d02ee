#pragma once

#include <QString>
#include <QStringList>

class ModelContext;
class Skill;
class SkillCollection;

// The store writes the browsing views make. Each saves at once; a failed save
// leaves the change in memory and pending for the next save.
void toggleFavorite(ModelContext &context, Skill &skill);

// Makes a collection that sorts after the existing ones. A name that is already
// taken is refused: nullptr, with `error` telling the user why.
SkillCollection *createCollection(ModelContext &context, const QString &name, const QString &icon,
                                  QString *error);
void deleteCollection(ModelContext &context, SkillCollection &collection);

// The icons offered for a new collection, three rows of six.
const QStringList &availableCollectionIcons();
