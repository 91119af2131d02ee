// The JSON that `vesk list --json` prints, for a skill whose every text comes
// from the input. What must hold for every input: the printed bytes are valid
// UTF-8 that parses back, indented or compact, to the same strings the skill
// holds (its frontmatter included, after its trip through the store's encoding).

#include "harness.h"

#include "cli/listcommand.h"
#include "library/records/artifactcache.h"
#include "library/records/skill.h"
#include "library/records/skillartifact.h"
#include "library/catalogue/toolsource.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Texts reach the store decoded from UTF-8 (file contents, and file names as Qt
// decodes them), so the input is cut at NUL bytes into UTF-8 fields.
QStringList fieldsOf(const uint8_t *data, size_t size)
{
    QStringList fields;
    for (const QByteArray &field : QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\0'))
        fields.append(QString::fromUtf8(field));
    while (fields.size() < 6)
        fields.append(QString());
    return fields;
}

void checkParsesBack(const QByteArray &json, const Skill &skill, const SkillArtifact &artifact)
{
    FUZZ_CHECK(QString::fromUtf8(json).toUtf8() == json); // printed through a UTF-8 text stream
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    FUZZ_CHECK(error.error == QJsonParseError::NoError);
    FUZZ_CHECK(document.isArray() && document.array().size() == 1);
    const QJsonObject object = document.array().at(0).toObject();

    FUZZ_CHECK(object.value(QStringLiteral("name")).toString() == skill.name());
    FUZZ_CHECK(object.value(QStringLiteral("description")).toString() == skill.skillDescription());
    FUZZ_CHECK(object.value(QStringLiteral("filePath")).toString() == skill.filePath());
    FUZZ_CHECK(object.value(QStringLiteral("resolvedPath")).toString() == skill.resolvedPath());
    const std::optional<QString> project = skill.projectName();
    FUZZ_CHECK(object.value(QStringLiteral("projectName")).isNull() == !project.has_value());
    FUZZ_CHECK(!project || object.value(QStringLiteral("projectName")).toString() == *project);

    QStringList paths;
    for (const QJsonValue &value : object.value(QStringLiteral("installedPaths")).toArray())
        paths.append(value.toString());
    FUZZ_CHECK(paths == skill.installedPaths());

    const QJsonObject frontmatter = object.value(QStringLiteral("frontmatter")).toObject();
    Skill::Frontmatter parsed;
    for (auto it = frontmatter.constBegin(); it != frontmatter.constEnd(); ++it)
        parsed.insert(it.key(), it.value().toString());
    FUZZ_CHECK(parsed == skill.frontmatter());

    const QJsonArray artifacts = object.value(QStringLiteral("artifacts")).toArray();
    FUZZ_CHECK(artifacts.size() == 1);
    const QJsonObject listed = artifacts.at(0).toObject();
    FUZZ_CHECK(listed.value(QStringLiteral("relativePath")).toString() == artifact.relativePath);
    FUZZ_CHECK(listed.value(QStringLiteral("fileExtension")).toString() == artifact.fileExtension);
}

} // namespace

int fuzzOne(const uint8_t *data, size_t size)
{
    const QStringList fields = fieldsOf(data, size);
    // Fields after the sixth are frontmatter keys and values, in pairs.
    Skill::Frontmatter frontmatter;
    for (qsizetype i = 6; i + 1 < fields.size(); i += 2)
        frontmatter.insert(fields.at(i), fields.at(i + 1));

    const QList<ToolSource> &tools = Tools::allCases();
    Skill skill(fields.at(0), fields.at(1), fields.at(2), fields.at(3), fields.at(4), frontmatter,
                tools.at(qsizetype(size % size_t(tools.size()))), /*isDirectory*/ true,
                /*isGlobal*/ size % 2 == 0, QDateTime::fromSecsSinceEpoch(qint64(size) * 86'400), qint64(size));
    skill.addInstallation(fields.at(5), tools.first());
    FUZZ_CHECK(skill.frontmatter() == frontmatter); // the store's own encoding keeps every string

    SkillArtifact artifact;
    artifact.relativePath = fields.at(5);
    artifact.name = fields.at(5).sliced(fields.at(5).lastIndexOf(u'/') + 1);
    artifact.category = categorize(artifact.relativePath);
    artifact.fileExtension = fields.at(3);
    ArtifactCache cache;
    cache.setArtifacts({artifact}, skill.filePath());

    const QJsonDocument document(skillsToJson({&skill}, cache));
    checkParsesBack(document.toJson(QJsonDocument::Indented), skill, artifact);
    checkParsesBack(document.toJson(QJsonDocument::Compact), skill, artifact);
    return 0;
}
