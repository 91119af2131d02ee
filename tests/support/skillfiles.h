#pragma once

// Small helpers for tests that lay out skill files in a temporary home.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QtTest/QtTest>

namespace TestFiles {

// Writes `bytes` to `path`, making the folders on the way; false if it could not.
inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// As writeBytes, failing the test if the file cannot be written.
inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QVERIFY2(writeBytes(path, bytes), qPrintable(path));
}

// The bytes of the file at `path`, or none if it cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A skill file with a name and a description in its frontmatter.
inline QByteArray skillText(const QByteArray &name, const QByteArray &body = "Body.")
{
    return "---\nname: " + name + "\ndescription: about " + name + "\n---\n" + body + "\n";
}

// A skill file named `name` written to `path`.
inline void writeSkill(const QString &path, const QByteArray &name, const QByteArray &body = "Body.")
{
    writeFile(path, skillText(name, body));
}

} // namespace TestFiles
