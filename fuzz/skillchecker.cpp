// The skill checker, given any file text as each kind of file. What must hold for
// every input, besides not crashing or taking more than linear-ish time:
//   - the same text always gives the same findings;
//   - every finding names a rule the reports list, at the level listed there;
//   - every line is 0 (the whole file) or one of the text's lines, and every
//     message says something.

#include "harness.h"

#include "library/checks/rules.h"
#include "library/checks/skillchecker.h"

int fuzzOne(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype lines = text.count(u'\n') + 1;
    for (CheckedKind kind : {CheckedKind::SkillFile, CheckedKind::CursorRule, CheckedKind::OtherFile}) {
        const QList<Finding> findings = checkSkillText(text, kind, QStringLiteral("fuzzed-skill"));
        FUZZ_CHECK(checkSkillText(text, kind, QStringLiteral("fuzzed-skill")) == findings);
        for (const Finding &finding : findings) {
            const CheckRule *rule = CheckRules::find(finding.rule);
            FUZZ_CHECK(rule != nullptr);
            FUZZ_CHECK(rule->level == finding.level);
            FUZZ_CHECK(finding.line >= 0 && finding.line <= lines);
            FUZZ_CHECK(finding.column >= 0);
            FUZZ_CHECK(!finding.message.isEmpty());
        }
    }
    return 0;
}
