#include "browse/skilldrag.h"

#include "library/store/modelcontext.h"

#include <QMimeData>

namespace SkillDrag {

QString mimeType()
{
    return QStringLiteral("application/x-vesk-skill-paths");
}

QMimeData *encode(const QList<Skill *> &skills)
{
    QStringList paths;
    for (const Skill *skill : skills) {
        if (skill)
            paths.append(skill->resolvedPath());
    }
    auto *data = new QMimeData;
    data->setData(mimeType(), paths.join(QLatin1Char('\n')).toUtf8());
    return data;
}

QList<Skill *> decode(const QMimeData *data, const ModelContext &context)
{
    QList<Skill *> skills;
    if (!data || !data->hasFormat(mimeType()))
        return skills;
    const QStringList paths = QString::fromUtf8(data->data(mimeType())).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &path : paths) {
        Skill *skill = context.skillWithResolvedPath(path);
        if (skill && !skills.contains(skill))
            skills.append(skill);
    }
    return skills;
}

} // namespace SkillDrag
