#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class ModelContext;
class Skill;
class SkillCollection;

// The store writes the browsing views make. Each saves at once; a failed save
// leaves the change in memory and pending for the next save.
void toggleFavorite(ModelContext &context, Skill &skill);

// A collection name as typed or pasted, made fit to keep: line breaks become
// spaces and spaces at either end go. An empty result means there is no name.
QString collectionNameFromInput(const QString &typed);

// Makes a collection that sorts after the existing ones. A name that is empty or
// already taken (after collectionNameFromInput) is refused: nullptr, with `error`
// telling the user why.
SkillCollection *createCollection(ModelContext &context, const QString &name, const QString &icon,
                                  QString *error);
// Renames the collection and gives it `icon`, under the same rules as creating one.
bool editCollection(ModelContext &context, SkillCollection &collection, const QString &name,
                    const QString &icon, QString *error);
void deleteCollection(ModelContext &context, SkillCollection &collection);

// Whether `collection` holds `skill`, collections being told apart by name.
bool isMember(const Skill &skill, const SkillCollection &collection);
// Takes the skill out of the collection when it is a member, otherwise adds it
// at the end of the skill's collections.
void toggleMembership(ModelContext &context, Skill &skill, SkillCollection &collection);
// Adds every skill that is not a member yet; returns how many were added.
int addToCollection(ModelContext &context, const QList<Skill *> &skills, SkillCollection &collection);

// The icons offered for a new collection, three rows of six.
const QStringList &availableCollectionIcons();
