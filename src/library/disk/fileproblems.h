#pragma once

#include <QList>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QString>

// A file Vesk found but did not read, and why, in words for the user.
struct FileProblem {
    QString path;
    QString reason;

    friend bool operator==(const FileProblem &, const FileProblem &) = default;
};

// The files a scan left out on purpose: too large, not regular files, not UTF-8,
// names that cannot be spelled. Keyed by path, so reading a file well again takes
// its problem away. Safe to use from several threads; changed() is emitted on the
// thread that made the change.
class FileProblems final : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    void report(const QString &path, const QString &reason);
    void clear(const QString &path);
    void clearAll();

    // Sorted by path.
    QList<FileProblem> all() const;
    bool isEmpty() const;

Q_SIGNALS:
    void changed();

private:
    mutable QMutex m_mutex;
    QMap<QString, QString> m_reasons;
};
