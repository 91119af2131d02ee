#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// The shape of a YAML block's top level, for the checks that care what kind of
// value a key holds (a string, a list, a nested map) rather than its text.
struct YamlEntry {
    enum class Kind { Scalar, Sequence, Mapping };

    QString key;
    Kind kind = Kind::Scalar;
    QString text;        // a scalar's value; empty for collections and nulls
    bool plain = false;  // a scalar written without quotes or block indicators
    bool isNull = false; // a plain scalar YAML reads as null
    int line = 0;        // from 1, in the text that was read: where the key starts
    int column = 0;
    QList<YamlEntry> children; // a mapping's pairs, one level down (keys as text)
};

// The top-level pairs of a block in the order written. No value when the block is
// not one YAML document whose top level is a mapping (readYamlMapping says why).
std::optional<QList<YamlEntry>> readYamlShape(QStringView text);
