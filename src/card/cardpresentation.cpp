#include "card/cardpresentation.h"

#include "common/palettecolors.h"
#include "library/catalogue/homepath.h"
#include "library/catalogue/turnedoff.h"

#include <QCoreApplication>
#include <QSet>

#include <algorithm>

namespace {

bool isBlankLine(QStringView line)
{
    return std::all_of(line.begin(), line.end(), [](QChar c) { return c == u' ' || c == u'\t'; });
}

} // namespace

namespace CardPresentation {

QStringList metadataKeys(const Skill::Frontmatter &frontmatter)
{
    QStringList keys;
    for (auto it = frontmatter.cbegin(); it != frontmatter.cend(); ++it) {
        const QString lower = it.key().toLower();
        if (lower == QLatin1String("name") || lower == QLatin1String("description") || it.value().isEmpty())
            continue;
        keys.append(it.key());
    }
    // QMap already iterates in QString's order, which is by UTF-16 code unit;
    // sort anyway so the order does not hang on the container chosen for the record.
    std::sort(keys.begin(), keys.end());
    return keys;
}

QList<ArtifactGroup> artifactGroups(const QList<SkillArtifact> &artifacts)
{
    QList<ArtifactGroup> groups;
    for (SkillArtifact::Category category : ArtifactCategories::allCases()) {
        ArtifactGroup group{category, {}};
        for (const SkillArtifact &artifact : artifacts) {
            if (artifact.category == category)
                group.artifacts.append(artifact);
        }
        if (!group.artifacts.isEmpty())
            groups.append(std::move(group));
    }
    return groups;
}

QString contentPreview(const QString &content, int maxLines)
{
    const QStringView text(content);
    QStringList kept;
    qsizetype start = 0;
    while (start <= text.size() && kept.size() < maxLines) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0)
            end = text.size();
        QStringView line = text.sliced(start, end - start);
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (!isBlankLine(line))
            kept.append(line.toString());
        start = end + 1;
    }
    // A body of blank lines has nothing to show either.
    if (kept.isEmpty())
        return QCoreApplication::translate("SkillCardView", "(No content)");
    return kept.join(QLatin1Char('\n'));
}

QString resourceCountText(qsizetype count)
{
    return count == 1 ? QCoreApplication::translate("SkillCardView", "1 resource")
                      : QCoreApplication::translate("SkillCardView", "%1 resources").arg(count);
}

std::optional<LocationBadge> locationBadge(const Skill &skill)
{
    if (isTurnedOffPath(skill.resolvedPath()))
        return LocationBadge{LocationBadge::Kind::Global,
                             QCoreApplication::translate("SkillCardView", "Turned Off: no tool reads it")};
    if (skill.isGlobal())
        return LocationBadge{LocationBadge::Kind::Global, QCoreApplication::translate("SkillCardView", "Global")};
    if (const std::optional<QString> project = skill.projectName())
        return LocationBadge{LocationBadge::Kind::Project, *project};
    return std::nullopt;
}

ChipStyle chipStyle(const QString &fileExtension, const QPalette &palette)
{
    static const QString code = QStringLiteral("chevron.left.forwardslash.chevron.right");
    static const QSet<QString> compiled{QStringLiteral("py"), QStringLiteral("swift"), QStringLiteral("go"),
                                        QStringLiteral("rs"), QStringLiteral("rb")};
    static const QSet<QString> javascript{QStringLiteral("js"), QStringLiteral("cjs"), QStringLiteral("mjs"),
                                          QStringLiteral("ts")};
    static const QSet<QString> shell{QStringLiteral("sh"), QStringLiteral("bash"), QStringLiteral("zsh")};
    static const QSet<QString> settings{QStringLiteral("json"), QStringLiteral("yaml"), QStringLiteral("yml"),
                                        QStringLiteral("toml")};
    if (compiled.contains(fileExtension))
        return {code, PaletteColors::vividOrange()};
    if (javascript.contains(fileExtension))
        return {code, PaletteColors::tint(PaletteColors::Tint::Orange, palette)};
    if (shell.contains(fileExtension))
        return {QStringLiteral("terminal.fill"), PaletteColors::lime(palette)};
    if (fileExtension == QLatin1String("md"))
        return {QStringLiteral("doc.text.fill"), PaletteColors::violet()};
    if (settings.contains(fileExtension))
        return {QStringLiteral("gearshape.fill"), PaletteColors::tint(PaletteColors::Tint::Cyan, palette)};
    return {QStringLiteral("doc.fill"), PaletteColors::secondaryLabel(palette)};
}

QColor groupHeadingColor(SkillArtifact::Category category, const QPalette &palette)
{
    switch (category) {
    case SkillArtifact::Category::Script:
        return PaletteColors::faded(PaletteColors::vividOrange(), 0.7);
    case SkillArtifact::Category::Reference:
        return PaletteColors::faded(PaletteColors::violet(), 0.7);
    case SkillArtifact::Category::Rule:
        return PaletteColors::faded(PaletteColors::lime(palette), 0.7);
    case SkillArtifact::Category::Config:
        return PaletteColors::faded(PaletteColors::tint(PaletteColors::Tint::Orange, palette), 0.7);
    case SkillArtifact::Category::Other:
        return PaletteColors::secondaryLabel(palette);
    }
    return PaletteColors::secondaryLabel(palette);
}

QColor harnessTint(ToolSource tool, const QPalette &palette)
{
    using PaletteColors::Tint;
    // One row per harness; a harness added to the catalogue without a row here
    // is reported by the compiler's switch warning.
    const Tint tint = [tool] {
        switch (tool) {
        case ToolSource::Claude: return Tint::Orange;
        case ToolSource::Cursor: return Tint::Blue;
        case ToolSource::Windsurf: return Tint::Teal;
        case ToolSource::Codex: return Tint::Green;
        case ToolSource::Copilot: return Tint::Purple;
        case ToolSource::Aider: return Tint::Yellow;
        case ToolSource::Amp: return Tint::Pink;
        case ToolSource::Gemini: return Tint::Indigo;
        case ToolSource::OpenCode: return Tint::Brown;
        case ToolSource::Custom: return Tint::Gray;
        }
        return Tint::Gray;
    }();
    return PaletteColors::tint(tint, palette);
}

QString installedPathsText(const QStringList &paths, const QString &home)
{
    QStringList shown;
    shown.reserve(paths.size());
    for (const QString &path : paths)
        shown.append(abbreviateHome(path, home));
    return shown.join(QLatin1Char('\n'));
}

} // namespace CardPresentation
