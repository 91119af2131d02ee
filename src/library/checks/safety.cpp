#include "library/checks/safety.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("SkillChecks", text);
}

QRegularExpression caseless(const char *pattern)
{
    return QRegularExpression(QString::fromLatin1(pattern), QRegularExpression::CaseInsensitiveOption);
}

QString shortened(QStringView text)
{
    constexpr qsizetype shown = 40;
    return text.size() <= shown ? text.toString() : text.first(shown).toString() + QStringLiteral("…");
}

// A joiner inside an emoji sequence (a family, a flag) is how those are spelled.
bool isEmojiJoiner(QStringView line, qsizetype at)
{
    if (line[at] != u'\u200D' || at == 0 || at + 1 >= line.size())
        return false;
    const QChar before = line[at - 1];
    return (before.isLowSurrogate() || before == u'\uFE0F') && line[at + 1].isHighSurrogate();
}

} // namespace

namespace SafetyTables {

const QList<SafetyPattern> &patterns()
{
    static const QList<SafetyPattern> rows{
        {QStringLiteral("safety/pipe-to-shell"),
         caseless(R"(\b(curl|wget|iwr|invoke-webrequest)\b[^|\n]{0,400}\|\s{0,8}(sudo\s{1,8})?(ba|z|da|k|fi)?sh\b|\b(curl|wget)\b[^|\n]{0,400}\|\s{0,8}(sudo\s{1,8})?(python3?|perl|ruby|node)\b)"),
         QRegularExpression(),
         tr("A download is piped straight into a shell (%1): the skill runs whatever that address serves. "
            "Download the script, read it, and run a pinned copy instead.")},
        {QStringLiteral("safety/encoded-blob"),
         QRegularExpression(QStringLiteral(R"([A-Za-z0-9+/]{200,}={0,2}|\b[0-9a-fA-F]{160,}\b)")),
         QRegularExpression(),
         tr("A long encoded blob (%1) hides what it says from a reader. Decode it and check it, "
            "or keep it as a file beside the skill.")},
        {QStringLiteral("safety/secret-to-network"),
         caseless(R"(~/\.ssh|\.ssh/|\bid_(rsa|ed25519|ecdsa)\b|(^|[\s/'"])\.env\b|\.aws/credentials|\.netrc\b|(?-i:(TOKEN|SECRET|API_?KEY|PASSWORD)\b))"),
         caseless(R"(\b(curl|wget|ncat|netcat|nc|scp|invoke-webrequest)\b|https?://|requests\.(post|put)|\bfetch\()"),
         tr("Secrets (%1) are read on the same line as a network address or upload tool. "
            "Make sure the skill never sends keys or tokens anywhere.")},
    };
    return rows;
}

const QList<InvisibleClass> &invisibleClasses()
{
    static const QList<InvisibleClass> rows{
        {QStringLiteral("safety/bidi-control"), tr("direction-changing (bidirectional) control characters"),
         {{0x061C, 0x061C}, {0x200E, 0x200F}, {0x202A, 0x202E}, {0x2066, 0x2069}}},
        {QStringLiteral("safety/zero-width"), tr("zero-width characters"),
         {{0x180E, 0x180E}, {0x200B, 0x200D}, {0x2060, 0x2064}, {0xFEFF, 0xFEFF}}},
        {QStringLiteral("safety/tag-characters"), tr("Unicode tag characters"), {{0xE0000, 0xE007F}}},
    };
    return rows;
}

} // namespace SafetyTables

QString visibleCodePoint(char32_t codePoint)
{
    return QStringLiteral("⟨U+%1⟩").arg(QString::number(uint(codePoint), 16).toUpper().rightJustified(4, QLatin1Char('0')));
}

QList<Finding> checkSafety(QStringView text)
{
    QList<Finding> findings;
    int lineNumber = 0;
    for (QStringView line : text.tokenize(u'\n')) {
        ++lineNumber;
        if (line.endsWith(u'\r'))
            line.chop(1);
        for (const InvisibleClass &invisible : SafetyTables::invisibleClasses()) {
            QStringList shown;
            int column = 0;
            for (qsizetype i = 0; i < line.size(); ++i) {
                char32_t codePoint = line[i].unicode();
                const qsizetype start = i;
                if (line[i].isHighSurrogate() && i + 1 < line.size() && line[i + 1].isLowSurrogate()) {
                    codePoint = QChar::surrogateToUcs4(line[i], line[i + 1]);
                    ++i;
                }
                if (codePoint < 0x61C || isEmojiJoiner(line, start))
                    continue;
                // A byte-order mark that opens the file is how some editors save UTF-8.
                if (codePoint == 0xFEFF && lineNumber == 1 && start == 0)
                    continue;
                for (const auto &[first, last] : invisible.ranges) {
                    if (codePoint >= first && codePoint <= last) {
                        if (shown.isEmpty())
                            column = int(start) + 1;
                        const QString code = visibleCodePoint(codePoint);
                        if (!shown.contains(code) && shown.size() < 8)
                            shown.append(code);
                        break;
                    }
                }
            }
            if (!shown.isEmpty()) {
                findings.append({invisible.rule, FindingLevel::Warning,
                                 tr("The line holds %1 (%2) that show as nothing but change what the model reads. "
                                    "Delete them unless you put them there on purpose.")
                                     .arg(invisible.what, shown.join(QString())),
                                 lineNumber, column, QString()});
            }
        }
        for (const SafetyPattern &row : SafetyTables::patterns()) {
            const QRegularExpressionMatch match = row.pattern.match(line);
            if (!match.hasMatch())
                continue;
            if (!row.alsoOnLine.pattern().isEmpty() && !row.alsoOnLine.match(line).hasMatch())
                continue;
            findings.append({row.rule, FindingLevel::Warning, row.message.arg(shortened(match.capturedView().trimmed())),
                             lineNumber, int(match.capturedStart()) + 1, QString()});
        }
    }
    return findings;
}

bool grantsAllShell(const QString &allowedTools)
{
    static const QRegularExpression separators(QStringLiteral(R"([\s,]+)"));
    static const QStringList everything{QStringLiteral("bash"), QStringLiteral("bash(*)"), QStringLiteral("bash(*:*)"),
                                        QStringLiteral("bash(:*)"), QStringLiteral("*"), QStringLiteral("shell"),
                                        QStringLiteral("shell(*)"), QStringLiteral("run_shell_command")};
    const QStringList tokens = allowedTools.split(separators, Qt::SkipEmptyParts);
    for (const QString &token : tokens) {
        if (everything.contains(token.toLower()))
            return true;
    }
    return false;
}
