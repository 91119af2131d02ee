#include "library/checks/skillchecker.h"

#include "library/checks/skilltext.h"
#include "library/disk/regularfile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("SkillChecks", text);
}

// A folder holds at most this many entries worth looking at for dangling links.
constexpr int maxFolderEntries = 5000;

// A link target as written, or empty when it is no relative path inside the skill
// (an address, an anchor, an absolute or home path, a placeholder).
QString relativeTarget(QString target)
{
    target = target.trimmed();
    if (target.startsWith(u'<') && target.endsWith(u'>'))
        target = target.sliced(1, target.size() - 2);
    const qsizetype space = target.indexOf(u' ');
    if (space > 0)
        target.truncate(space); // a title follows: [a](file.md "Title")
    const qsizetype anchor = target.indexOf(u'#');
    if (anchor >= 0)
        target.truncate(anchor);
    const qsizetype query = target.indexOf(u'?');
    if (query >= 0)
        target.truncate(query);
    if (target.isEmpty() || target.contains(QLatin1String("://")) || target.startsWith(QLatin1String("mailto:"))
        || target.startsWith(u'/') || target.startsWith(u'~') || target.contains(u'$') || target.contains(u'{')
        || target.contains(u'*') || target.contains(u'<'))
        return QString();
    return QUrl::fromPercentEncoding(target.toUtf8());
}

struct Reference {
    QString target;
    int line = 0;
    int column = 0;
};

QList<Reference> references(const QString &text)
{
    static const QRegularExpression markdownLink(QStringLiteral(R"(!?\[[^\]\n]{0,500}\]\(([^)\n]{1,1000})\))"));
    // A bare path into one of the folders the format names for supporting files.
    static const QRegularExpression barePath(
        QStringLiteral(R"((?<![\w./-])((?:\./)?(?:scripts|references|assets)/[\w.@+-][\w./@+-]*))"));
    const SkillTextParts parts = splitSkillText(text);
    QList<Reference> found;
    int lineNumber = parts.bodyFirstLine - 1;
    bool inFence = false;
    for (QStringView line : parts.body.tokenize(u'\n')) {
        ++lineNumber;
        if (line.trimmed().startsWith(QLatin1String("```")) || line.trimmed().startsWith(QLatin1String("~~~"))) {
            inFence = !inFence;
            continue;
        }
        QList<std::pair<qsizetype, qsizetype>> taken;
        if (!inFence) {
            QRegularExpressionMatchIterator links = markdownLink.globalMatch(line);
            while (links.hasNext()) {
                const QRegularExpressionMatch match = links.next();
                taken.append({match.capturedStart(), match.capturedEnd()});
                const QString target = relativeTarget(match.captured(1));
                if (!target.isEmpty())
                    found.append({target, lineNumber, int(match.capturedStart(1)) + 1});
            }
        }
        QRegularExpressionMatchIterator paths = barePath.globalMatch(line);
        while (paths.hasNext()) {
            const QRegularExpressionMatch match = paths.next();
            const bool inLink = std::any_of(taken.cbegin(), taken.cend(), [&match](const auto &span) {
                return match.capturedStart(1) >= span.first && match.capturedStart(1) < span.second;
            });
            QString target = match.captured(1);
            while (target.endsWith(u'.') || target.endsWith(u'/'))
                target.chop(1); // the end of a sentence, or a folder named with its slash
            if (!inLink && !target.isEmpty())
                found.append({target, lineNumber, int(match.capturedStart(1)) + 1});
        }
    }
    return found;
}

} // namespace

QList<Finding> checkSkillFolderFiles(const QString &folderPath, const QString &text)
{
    QList<Finding> findings;
    const QString folder = QDir::cleanPath(folderPath);
    QStringList reported;
    for (const Reference &reference : references(text)) {
        const QString resolved = QDir::cleanPath(folder + u'/' + reference.target);
        if (reported.contains(resolved))
            continue;
        reported.append(resolved);
        if (resolved != folder && !resolved.startsWith(folder + u'/')) {
            findings.append({QStringLiteral("files/link-escapes"), FindingLevel::Warning,
                             tr("%1 points outside the skill's folder; copies and installs of the skill will not have it. "
                                "Move the file into the folder.").arg(reference.target),
                             reference.line, reference.column, QString()});
            continue;
        }
        // Only asks whether something is there; nothing is read or followed further.
        if (!QFileInfo::exists(resolved))
            findings.append({QStringLiteral("files/missing-file"), FindingLevel::Warning,
                             tr("%1 is not in the skill's folder. Add it, or fix the path.").arg(reference.target),
                             reference.line, reference.column, QString()});
    }

    QDirIterator entries(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    int seen = 0;
    while (entries.hasNext() && seen++ < maxFolderEntries) {
        entries.next();
        const QFileInfo entry = entries.fileInfo();
        if (entry.isSymLink() && !entry.exists()) {
            findings.append({QStringLiteral("files/dangling-link"), FindingLevel::Warning,
                             tr("%1 is a symbolic link to %2, which is not there. Remove the link or restore its target.")
                                 .arg(QDir(folder).relativeFilePath(entry.filePath()), entry.symLinkTarget()),
                             0, 0, QString()});
        }
    }
    sortFindings(findings);
    return findings;
}

QList<Finding> checkSkillFile(const QString &path, QByteArray *digest)
{
    const RegularFileRead file = readRegularFile(path);
    if (digest)
        *digest = file.status == RegularFileRead::Status::Ok ? QCryptographicHash::hash(file.bytes, QCryptographicHash::Sha256)
                                                             : QByteArray();
    if (file.status != RegularFileRead::Status::Ok)
        return {{QStringLiteral("files/unreadable"), FindingLevel::Error, unreadReason(file), 0, 0, QString()}};
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(file.bytes);
    if (decoder.hasError())
        return {{QStringLiteral("files/not-utf8"), FindingLevel::Error,
                 tr("The file is not UTF-8 text; tools cannot read it. Save it as UTF-8."), 0, 0, QString()}};
    return checkSkillTextAs(text, path);
}

QList<Finding> checkSkillTextAs(const QString &text, const QString &path)
{
    const CheckedKind kind = checkedKindFor(path);
    const QFileInfo info(path);
    QList<Finding> findings = checkSkillText(text, kind, kind == CheckedKind::SkillFile ? info.dir().dirName() : QString());
    if (kind == CheckedKind::SkillFile) {
        findings += checkSkillFolderFiles(info.absolutePath(), text);
        sortFindings(findings);
    }
    return findings;
}
