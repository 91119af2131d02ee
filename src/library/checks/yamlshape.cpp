#include "library/checks/yamlshape.h"

#include <libfyaml.h>

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

QString scalarText(fy_node *node)
{
    size_t length = 0;
    const char *bytes = fy_node_get_scalar(node, &length);
    return bytes ? QString::fromUtf8(bytes, qsizetype(length)) : QString();
}

void place(YamlEntry &entry, fy_node *key)
{
    fy_token *token = fy_node_get_type(key) == FYNT_SCALAR ? fy_node_get_scalar_token(key) : nullptr;
    if (const fy_mark *mark = token ? fy_token_start_mark(token) : nullptr) {
        entry.line = mark->line + 1;
        entry.column = mark->column + 1;
    }
}

YamlEntry entryFor(fy_node *key, fy_node *value, bool withChildren)
{
    YamlEntry entry;
    if (key && fy_node_get_type(key) == FYNT_SCALAR)
        entry.key = scalarText(key);
    if (key)
        place(entry, key);
    if (value && fy_node_is_alias(value))
        value = fy_node_resolve_alias(value);
    if (!value) {
        entry.isNull = true;
        entry.plain = true;
        return entry;
    }
    switch (fy_node_get_type(value)) {
    case FYNT_SCALAR:
        entry.kind = YamlEntry::Kind::Scalar;
        entry.plain = fy_node_get_style(value) == FYNS_PLAIN;
        entry.isNull = entry.plain && fy_node_is_null(value);
        if (!entry.isNull)
            entry.text = scalarText(value);
        break;
    case FYNT_SEQUENCE:
        entry.kind = YamlEntry::Kind::Sequence;
        break;
    case FYNT_MAPPING:
        entry.kind = YamlEntry::Kind::Mapping;
        if (withChildren) {
            void *at = nullptr;
            while (fy_node_pair *pair = fy_node_mapping_iterate(value, &at))
                entry.children.append(entryFor(fy_node_pair_key(pair), fy_node_pair_value(pair), false));
        }
        break;
    }
    return entry;
}

} // namespace

std::optional<QList<YamlEntry>> readYamlShape(QStringView text)
{
    const QByteArray utf8 = text.toUtf8();
    fy_diag_cfg diagConfig;
    fy_diag_cfg_default(&diagConfig);
    diagConfig.fp = nullptr;
    diagConfig.output_fn = nullptr;
    diagConfig.colorize = false;
    const std::unique_ptr<fy_diag, DiagFree> diag(fy_diag_create(&diagConfig));
    if (!diag)
        return std::nullopt;
    fy_diag_set_collect_errors(diag.get(), true);
    fy_parse_cfg config{};
    config.flags = fy_parse_cfg_flags(FYPCF_QUIET | FYPCF_DEFAULT_VERSION_1_2 | FYPCF_DISABLE_MMAP_OPT);
    config.diag = diag.get();
    const std::unique_ptr<fy_parser, ParserFree> parser(fy_parser_create(&config));
    if (!parser || fy_parser_set_string(parser.get(), utf8.data(), size_t(utf8.size())) != 0)
        return std::nullopt;
    const std::unique_ptr<fy_document, DocumentFree> document(fy_parse_load_document(parser.get()));
    if (fy_diag_got_error(diag.get()))
        return std::nullopt;
    QList<YamlEntry> entries;
    fy_node *root = document ? fy_document_root(document.get()) : nullptr;
    if (!root)
        return entries;
    if (fy_node_get_type(root) != FYNT_MAPPING)
        return fy_node_get_type(root) == FYNT_SCALAR && fy_node_is_null(root) ? std::optional(entries) : std::nullopt;
    void *at = nullptr;
    while (fy_node_pair *pair = fy_node_mapping_iterate(root, &at))
        entries.append(entryFor(fy_node_pair_key(pair), fy_node_pair_value(pair), true));
    return entries;
}
