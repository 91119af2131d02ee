#include "library/checks/keytable.h"

namespace {

const QString agentSkills = QStringLiteral("agentskills.io/specification");
const QString claude = QStringLiteral("code.claude.com/docs/en/skills");
const QString cursor = QStringLiteral("cursor.com/docs/skills");
const QString copilot = QStringLiteral("code.visualstudio.com/docs/agent-customization/agent-skills");

KnownKey standard(const char *key)
{
    return {QString::fromLatin1(key), true, {}, agentSkills};
}

} // namespace

namespace KnownKeys {

const QList<KnownKey> &table()
{
    static const QList<KnownKey> rows{
        standard("name"),
        standard("description"),
        standard("license"),
        standard("compatibility"),
        standard("metadata"),
        standard("allowed-tools"),
        {QStringLiteral("when_to_use"), false, {ToolSource::Claude}, claude},
        {QStringLiteral("argument-hint"), false, {ToolSource::Claude, ToolSource::Copilot}, claude + QStringLiteral(", ") + copilot},
        {QStringLiteral("disable-model-invocation"), false, {ToolSource::Claude, ToolSource::Cursor, ToolSource::Copilot},
         claude + QStringLiteral(", ") + cursor + QStringLiteral(", ") + copilot},
        {QStringLiteral("user-invocable"), false, {ToolSource::Claude, ToolSource::Cursor, ToolSource::Copilot},
         claude + QStringLiteral(", ") + cursor + QStringLiteral(", ") + copilot},
        {QStringLiteral("model"), false, {ToolSource::Claude}, claude},
        {QStringLiteral("context"), false, {ToolSource::Claude}, claude},
        {QStringLiteral("agent"), false, {ToolSource::Claude}, claude},
        {QStringLiteral("hooks"), false, {ToolSource::Claude}, claude},
        {QStringLiteral("paths"), false, {ToolSource::Claude, ToolSource::Cursor}, claude + QStringLiteral(", ") + cursor},
    };
    return rows;
}

const KnownKey *find(const QString &key)
{
    for (const KnownKey &row : table()) {
        if (row.key == key)
            return &row;
    }
    return nullptr;
}

} // namespace KnownKeys
