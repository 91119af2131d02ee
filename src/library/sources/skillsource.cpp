#include "library/sources/skillsource.h"

#include <QDir>
#include <QFileInfo>
#include <QObject>
#include <QRegularExpression>

#include <algorithm>

namespace {

bool hasControl(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

std::optional<SkillSource> gitHub(const QString &owner, QString repo)
{
    if (repo.endsWith(QLatin1String(".git")))
        repo.chop(4);
    static const QRegularExpression part(QStringLiteral("^[A-Za-z0-9_.-]{1,100}$"));
    if (!part.match(owner).hasMatch() || !part.match(repo).hasMatch() || owner.startsWith(u'.')
        || repo.startsWith(u'.') || owner.startsWith(u'-') || repo.startsWith(u'-'))
        return std::nullopt;
    SkillSource source;
    source.kind = SkillSource::Kind::GitHub;
    source.source = owner + u'/' + repo;
    source.sourceType = QStringLiteral("github");
    source.url = QStringLiteral("https://github.com/%1/%2.git").arg(owner, repo);
    return source;
}

std::optional<SkillSource> gitUrl(const QString &text)
{
    static const QRegularExpression scheme(QStringLiteral("^(https|http|ssh|git|file)://[^\\s]+$"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression scpLike(QStringLiteral("^[A-Za-z0-9._-]+@[A-Za-z0-9.-]+:[^\\s]+$"));
    if (!scheme.match(text).hasMatch() && !scpLike.match(text).hasMatch())
        return std::nullopt;
    static const QRegularExpression onGitHub(
        QStringLiteral("^https://github\\.com/([^/]+)/([^/]+?)/?$"), QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch match = onGitHub.match(text); match.hasMatch()) {
        if (std::optional<SkillSource> source = gitHub(match.captured(1), match.captured(2)))
            return source;
    }
    SkillSource source;
    source.kind = SkillSource::Kind::Git;
    source.source = text;
    source.sourceType = QStringLiteral("git");
    source.url = text;
    return source;
}

} // namespace

std::optional<SkillSource> parseSkillSource(const QString &text, const QString &workingDirectory, QString *error)
{
    const QString trimmed = text.trimmed();
    const auto fail = [error, &trimmed](const QString &message) -> std::optional<SkillSource> {
        if (error)
            *error = message.arg(trimmed.left(200));
        return std::nullopt;
    };
    if (trimmed.isEmpty())
        return fail(QObject::tr("No source given%1"));
    if (trimmed.size() > 2048 || hasControl(trimmed) || trimmed.startsWith(u'-'))
        return fail(QObject::tr("“%1” is not a source Vesk can add from"));

    QString local = trimmed;
    if (local == u'~' || local.startsWith(QLatin1String("~/")))
        local = QDir::homePath() + local.mid(1);
    const QString absolute = QDir::cleanPath(QDir(workingDirectory).absoluteFilePath(local));
    const bool looksLocal = trimmed.startsWith(u'/') || trimmed.startsWith(u'.') || trimmed.startsWith(u'~');
    if (QFileInfo(absolute).isDir() && !trimmed.contains(QLatin1String("://"))) {
        SkillSource source;
        source.kind = SkillSource::Kind::Local;
        source.source = absolute;
        source.sourceType = QStringLiteral("local");
        return source;
    }
    if (looksLocal)
        return fail(QObject::tr("The folder “%1” is not there"));
    if (std::optional<SkillSource> url = gitUrl(trimmed))
        return url;
    const QStringList parts = trimmed.split(u'/');
    if (parts.size() == 2) {
        if (std::optional<SkillSource> source = gitHub(parts.at(0), parts.at(1)))
            return source;
    }
    return fail(QObject::tr("“%1” is neither a folder, a git URL nor owner/repo on GitHub"));
}

std::optional<SkillSource> sourceOfEntry(const QString &source, const QString &sourceType, const QString &sourceUrl)
{
    if (sourceType == QLatin1String("local")) {
        if (!QDir::isAbsolutePath(source))
            return std::nullopt;
        SkillSource local;
        local.kind = SkillSource::Kind::Local;
        local.source = QDir::cleanPath(source);
        local.sourceType = sourceType;
        return local;
    }
    if (hasControl(source) || hasControl(sourceUrl) || source.startsWith(u'-') || sourceUrl.startsWith(u'-'))
        return std::nullopt;
    if (!sourceUrl.isEmpty()) {
        std::optional<SkillSource> parsed = gitUrl(sourceUrl);
        if (!parsed)
            return std::nullopt;
        parsed->source = source.isEmpty() ? parsed->source : source;
        parsed->sourceType = sourceType.isEmpty() ? parsed->sourceType : sourceType;
        return parsed;
    }
    const QStringList parts = source.split(u'/');
    if (parts.size() == 2)
        return gitHub(parts.at(0), parts.at(1));
    return gitUrl(source);
}

bool isSafeRef(const QString &ref)
{
    static const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9._/+@-]{1,200}$"));
    return allowed.match(ref).hasMatch() && !ref.startsWith(u'-') && !ref.contains(QLatin1String(".."));
}
