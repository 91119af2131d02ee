#pragma once

#include <QList>
#include <QString>

class ModelContext;
class QMimeData;
class Skill;

// Skills dragged from the list carry their resolved paths (the store's unique
// key), one per line, so a drop finds the very records that were dragged.
namespace SkillDrag {

QString mimeType();
QMimeData *encode(const QList<Skill *> &skills);
// The skills of the context named by the data; unknown paths are skipped.
QList<Skill *> decode(const QMimeData *data, const ModelContext &context);

} // namespace SkillDrag
