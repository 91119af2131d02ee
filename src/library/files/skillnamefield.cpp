#include "library/files/skillnamefield.h"

#include "library/files/skillfile.h"

#include <QObject>
#include <QStringList>

QString withNameField(const QString &text, const QString &name)
{
    QStringList lines = text.split(u'\n');
    const QString nameLine = QStringLiteral("name: ") + name;
    if (lines.isEmpty() || lines.constFirst().trimmed() != QLatin1String("---"))
        return QStringLiteral("---\n") + nameLine + QStringLiteral("\n---\n") + text;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (line.trimmed() == QLatin1String("---"))
            break;
        if (line.startsWith(QLatin1String("name:"))) {
            lines[i] = nameLine;
            return lines.join(u'\n');
        }
    }
    lines.insert(1, nameLine);
    return lines.join(u'\n');
}

bool setSkillNameField(const QString &filePath, const QString &name, QString *error)
{
    const SkillFileContents contents = loadSkillFile(filePath);
    if (contents.status != SkillFileContents::Status::Ok) {
        if (error)
            *error = contents.reason.isEmpty() ? QObject::tr("The skill file is missing") : contents.reason;
        return false;
    }
    const QString text = withNameField(contents.text, name);
    if (text == contents.text)
        return true;
    QString message;
    if (!writeSkillFile(filePath, encodeSkillText(text, contents.layout), &message)) {
        if (error)
            *error = message;
        return false;
    }
    return true;
}

bool isValidSkillName(const QString &name)
{
    if (name.isEmpty() || name.size() > 64 || name.startsWith(u'-') || name.endsWith(u'-')
        || name.contains(QLatin1String("--")))
        return false;
    for (QChar c : name) {
        const bool lowerLetter = c.isLetter() && c.toLower() == c;
        if (!(lowerLetter || c.isDigit() || c == u'-'))
            return false;
    }
    return true;
}
