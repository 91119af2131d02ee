#pragma once

#include <QMap>
#include <QString>
#include <QStringView>

#include <optional>

// Where a text stops being YAML, and why, in the YAML library's own words.
struct YamlError {
    int line = 0;   // from 1, in the text that was read
    int column = 0; // from 1, in characters
    QString message;

    bool operator==(const YamlError &) const = default;
};

// The top level of a YAML 1.2 document as a map of strings, the way skill
// frontmatter is kept:
//   - a scalar is its value (quotes, escapes and block indicators applied); a
//     null (nothing, "~", "null") is "", and numbers and booleans are their text
//     as written;
//   - a list is its items joined by line breaks, each item read the same way;
//   - a nested mapping, and a list or mapping inside a list, is its compact text:
//     one line of YAML flow style, such as {author: me, version: "1.0"};
//   - an alias stands for the scalar it names, as long as all such copies
//     together stay within the size of the text (a file cannot multiply itself);
//     otherwise, and when it names a collection, it stays "*name".
// Keys are read like values; a key that reads as "" is left out.
struct YamlMapping {
    QMap<QString, QString> values;
    // Set when the text is not one YAML document whose top level is a mapping
    // (or empty); `values` is empty then.
    std::optional<YamlError> error;
};

// Reads text strictly: a duplicate key, an alias to no anchor or a second
// document is an error, as are tabs used for indentation.
YamlMapping readYamlMapping(QStringView text);

// The shape most frontmatter has, read without the YAML library (which costs more
// than reading the file): lines of a key, ": " and a one-line value, plain or
// quoted without escapes, besides comment and empty lines, each read exactly as YAML reads it. No value for any
// other shape, which is then for the library to read.
std::optional<QMap<QString, QString>> readPlainMapping(QStringView text);
