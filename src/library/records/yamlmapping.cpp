#include "library/records/yamlmapping.h"

#include <QStringList>

#include <algorithm>

#include <libfyaml.h>

#include <cstdlib>
#include <memory>

namespace {

struct DiagFree {
    void operator()(fy_diag *diag) const { fy_diag_destroy(diag); }
};
struct ParserFree {
    void operator()(fy_parser *parser) const { fy_parser_destroy(parser); }
};
struct DocumentFree {
    void operator()(fy_document *document) const { fy_document_destroy(document); }
};
using Document = std::unique_ptr<fy_document, DocumentFree>;

// The library keeps nesting far below this; the walk below stops here regardless.
constexpr int maxDepth = 1000;

// Marks count from 0, collected messages from 1.
YamlError errorAt(fy_token *token, const QString &message)
{
    YamlError error{1, 1, message};
    if (const fy_mark *mark = token ? fy_token_start_mark(token) : nullptr) {
        error.line = mark->line + 1;
        error.column = mark->column + 1;
    }
    return error;
}

// Turns the nodes of one document into the strings a record keeps.
class Reader final
{
public:
    explicit Reader(qsizetype aliasBudget)
        : m_aliasBudget(aliasBudget)
    {
    }

    // The first alias (at any depth) that names no anchor, if any.
    std::optional<YamlError> danglingAlias(fy_node *node, int depth = 0) const
    {
        if (!node || depth > maxDepth)
            return std::nullopt;
        switch (fy_node_get_type(node)) {
        case FYNT_SCALAR:
            if (fy_node_is_alias(node) && !fy_node_resolve_alias(node))
                return errorAt(fy_node_get_scalar_token(node), QStringLiteral("alias to an anchor that is not defined"));
            return std::nullopt;
        case FYNT_SEQUENCE: {
            void *at = nullptr;
            while (fy_node *item = fy_node_sequence_iterate(node, &at)) {
                if (auto error = danglingAlias(item, depth + 1))
                    return error;
            }
            return std::nullopt;
        }
        case FYNT_MAPPING: {
            void *at = nullptr;
            while (fy_node_pair *pair = fy_node_mapping_iterate(node, &at)) {
                if (auto error = danglingAlias(fy_node_pair_key(pair), depth + 1))
                    return error;
                if (auto error = danglingAlias(fy_node_pair_value(pair), depth + 1))
                    return error;
            }
            return std::nullopt;
        }
        }
        return std::nullopt;
    }

    QString value(fy_node *node)
    {
        if (!node)
            return QString();
        switch (fy_node_get_type(node)) {
        case FYNT_SCALAR:
            return scalar(node);
        case FYNT_SEQUENCE: {
            QString joined;
            bool first = true;
            void *at = nullptr;
            while (fy_node *item = fy_node_sequence_iterate(node, &at)) {
                if (!first)
                    joined += u'\n';
                first = false;
                joined += fy_node_get_type(item) == FYNT_SCALAR ? scalar(item) : compact(item);
            }
            return joined;
        }
        case FYNT_MAPPING:
            return compact(node);
        }
        return QString();
    }

    QString key(fy_node *node)
    {
        if (node && fy_node_get_type(node) != FYNT_SCALAR)
            return compact(node);
        return value(node);
    }

private:
    static QString text(fy_node *node)
    {
        size_t length = 0;
        const char *bytes = fy_node_get_scalar(node, &length);
        return bytes ? QString::fromUtf8(bytes, qsizetype(length)) : QString();
    }

    static bool isNull(fy_node *node)
    {
        if (fy_node_get_style(node) != FYNS_PLAIN)
            return false;
        size_t length = 0;
        const char *bytes = fy_node_get_scalar(node, &length);
        const QByteArrayView plain(bytes, bytes ? qsizetype(length) : 0);
        return plain.isEmpty() || plain == "~" || plain == "null" || plain == "Null" || plain == "NULL";
    }

    QString scalar(fy_node *node)
    {
        if (fy_node_is_alias(node)) {
            fy_node *target = fy_node_resolve_alias(node);
            if (target && fy_node_get_type(target) == FYNT_SCALAR && !fy_node_is_alias(target)) {
                size_t length = 0;
                fy_node_get_scalar(target, &length);
                if (qsizetype(length) <= m_aliasBudget) {
                    m_aliasBudget -= qsizetype(length);
                    return isNull(target) ? QString() : text(target);
                }
            }
            return u'*' + text(node);
        }
        return isNull(node) ? QString() : text(node);
    }

    static QString compact(fy_node *node)
    {
        char *emitted = fy_emit_node_to_string(node, fy_emitter_cfg_flags(FYECF_MODE_FLOW_ONELINE | FYECF_NO_ENDING_NEWLINE));
        if (!emitted)
            return QString();
        QString result = QString::fromUtf8(emitted).trimmed();
        std::free(emitted);
        return result;
    }

    qsizetype m_aliasBudget;
};

} // namespace

namespace {

// Characters a plain value may not begin with: YAML gives each a meaning there.
bool isIndicator(QChar c)
{
    return QStringView(u"-?:,[]{}#&*!|>'\"%@`").contains(c);
}

// Printable in YAML, and no line break or byte-order mark of any kind.
bool isPlainSafe(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x20 && u < 0x7F) || (u >= 0xA0 && u != 0x2028 && u != 0x2029 && u != 0xFEFF && u < 0xFFFE);
}

bool isKeyCharacter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'-';
}

// The words YAML reads as null; the mapping keeps "" for them, so they are the library's.
bool isNullWord(QStringView value)
{
    return value == u"~" || value == u"null" || value == u"Null" || value == u"NULL";
}

// A value in single quotes (a quote inside doubled) or in double quotes without
// escapes, alone on its line; no value for anything else.
std::optional<QString> quotedValue(QStringView value)
{
    if (value.size() < 2 || value.front() != value.back() || (value.front() != u'\'' && value.front() != u'"'))
        return std::nullopt;
    const QStringView inside = value.sliced(1, value.size() - 2);
    if (!std::all_of(inside.begin(), inside.end(), isPlainSafe))
        return std::nullopt;
    if (value.front() == u'"') {
        if (inside.contains(u'"') || inside.contains(u'\\'))
            return std::nullopt;
        return inside.toString();
    }
    QString text;
    text.reserve(inside.size());
    for (qsizetype i = 0; i < inside.size(); ++i) {
        if (inside[i] == u'\'') {
            if (i + 1 == inside.size() || inside[i + 1] != u'\'')
                return std::nullopt; // a quote that ends the value early
            ++i;
        }
        text += inside[i];
    }
    return text;
}

} // namespace

std::optional<QMap<QString, QString>> readPlainMapping(QStringView text)
{
    QMap<QString, QString> values;
    for (QStringView line : text.tokenize(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        qsizetype keyEnd = 0;
        while (keyEnd < line.size() && isKeyCharacter(line[keyEnd]))
            ++keyEnd;
        if (keyEnd == 0) {
            // Only empty lines and comments that start their line, besides key lines.
            if (line.startsWith(u'#'))
                continue;
            if (std::all_of(line.begin(), line.end(), [](QChar c) { return c == u' '; }))
                continue;
            return std::nullopt;
        }
        // A key YAML reads as null, or one longer than YAML allows a key on one line, is the library's.
        const QStringView keyText = line.first(keyEnd);
        if (line[0] == u'-' || keyEnd > 1000 || isNullWord(keyText) || keyEnd + 1 >= line.size()
            || line[keyEnd] != u':' || line[keyEnd + 1] != u' ')
            return std::nullopt;
        QStringView value = line.sliced(keyEnd + 2);
        while (value.startsWith(u' '))
            value = value.sliced(1);
        while (value.endsWith(u' '))
            value.chop(1);
        const QString key = keyText.toString();
        if (values.contains(key))
            return std::nullopt;
        if (std::optional<QString> quoted = quotedValue(value)) {
            values.insert(key, std::move(*quoted));
            continue;
        }
        if (value.isEmpty() || isIndicator(value.front()) || value.back() == u':' || isNullWord(value))
            return std::nullopt;
        for (qsizetype i = 0; i < value.size(); ++i) {
            const QChar c = value[i];
            if (!isPlainSafe(c))
                return std::nullopt;
            // ": " opens a mapping inside the value, " #" a comment: the library's to read.
            if ((c == u':' && i + 1 < value.size() && value[i + 1] == u' ') || (c == u'#' && i > 0 && value[i - 1] == u' '))
                return std::nullopt;
        }
        values.insert(key, value.toString());
    }
    return values;
}

YamlMapping readYamlMapping(QStringView text)
{
    if (std::optional<QMap<QString, QString>> plain = readPlainMapping(text))
        return {std::move(*plain), std::nullopt};
    const QByteArray utf8 = text.toUtf8();

    YamlMapping result;
    // Messages are collected, never printed.
    fy_diag_cfg diagConfig;
    fy_diag_cfg_default(&diagConfig);
    diagConfig.fp = nullptr;
    diagConfig.output_fn = nullptr;
    diagConfig.colorize = false;
    const std::unique_ptr<fy_diag, DiagFree> diag(fy_diag_create(&diagConfig));
    if (!diag) {
        result.error = YamlError{1, 1, QStringLiteral("out of memory")};
        return result;
    }
    fy_diag_set_collect_errors(diag.get(), true);

    fy_parse_cfg config{};
    config.flags = fy_parse_cfg_flags(FYPCF_QUIET | FYPCF_DEFAULT_VERSION_1_2 | FYPCF_DISABLE_MMAP_OPT);
    config.diag = diag.get();
    const std::unique_ptr<fy_parser, ParserFree> parser(fy_parser_create(&config));
    if (!parser || fy_parser_set_string(parser.get(), utf8.data(), size_t(utf8.size())) != 0) {
        result.error = YamlError{1, 1, QStringLiteral("out of memory")};
        return result;
    }

    const auto firstError = [&diag]() -> std::optional<YamlError> {
        // Warnings (an unknown directive, say) are collected too; only errors count.
        void *at = nullptr;
        while (const fy_diag_error *error = fy_diag_errors_iterate(diag.get(), &at)) {
            if (error->type >= FYET_ERROR)
                return YamlError{qMax(error->line, 1), qMax(error->column, 1), QString::fromUtf8(error->msg).trimmed()};
        }
        if (fy_diag_got_error(diag.get()))
            return YamlError{1, 1, QStringLiteral("not YAML")};
        return std::nullopt;
    };

    const Document document(fy_parse_load_document(parser.get()));
    if (auto error = firstError()) {
        result.error = std::move(error);
        return result;
    }
    if (!document)
        return result; // nothing but blanks and comments
    if (const Document second{fy_parse_load_document(parser.get())}) {
        fy_document_state *state = fy_document_get_document_state(second.get());
        const fy_mark *mark = state ? fy_document_state_start_mark(state) : nullptr;
        result.error = YamlError{mark ? mark->line + 1 : 1, mark ? mark->column + 1 : 1,
                                 QStringLiteral("more than one document")};
        return result;
    }
    if (auto error = firstError()) {
        result.error = std::move(error);
        return result;
    }

    fy_node *root = fy_document_root(document.get());
    if (!root || (fy_node_get_type(root) == FYNT_SCALAR && fy_node_is_null(root)))
        return result;
    if (fy_node_get_type(root) != FYNT_MAPPING) {
        result.error = errorAt(fy_node_get_scalar_token(root), QStringLiteral("the top level is not a mapping of keys to values"));
        return result;
    }

    Reader reader(utf8.size());
    if (auto error = reader.danglingAlias(root)) {
        result.error = std::move(error);
        return result;
    }
    void *at = nullptr;
    while (fy_node_pair *pair = fy_node_mapping_iterate(root, &at)) {
        QString key = reader.key(fy_node_pair_key(pair));
        if (!key.isEmpty())
            result.values.insert(std::move(key), reader.value(fy_node_pair_value(pair)));
    }
    return result;
}
