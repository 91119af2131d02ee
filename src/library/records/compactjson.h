#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// The two shapes of JSON a record keeps (its frontmatter, a list of paths),
// written byte for byte as QJsonDocument writes them in its compact form.
// A first scan encodes both for every record, and building a QJsonObject of
// QCborValues for a handful of strings cost more than reading the file.
namespace CompactJson {

// {"key":"value",...}, keys in QMap's (and QJsonObject's) order.
QByteArray stringMap(const QMap<QString, QString> &map);
// ["first","second",...]
QByteArray stringArray(const QStringList &list);

} // namespace CompactJson
