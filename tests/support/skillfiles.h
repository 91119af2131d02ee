#pragma once

// Small helpers for tests that lay out skill files in a temporary home.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QtTest/QtTest>

namespace TestFiles {

// Writes `bytes` to `path`, making the folders on the way.
inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(bytes);
}

// A skill file with a name and a description in its frontmatter.
inline QByteArray skillText(const QByteArray &name, const QByteArray &body = "Body.")
{
    return "---\nname: " + name + "\ndescription: about " + name + "\n---\n" + body + "\n";
}

} // namespace TestFiles
