#pragma once

// Points HOME and the XDG folders into `root`, so that a benchmark reads and
// writes only files it made itself. Call before the application object exists.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

inline void useBenchmarkHome(const QTemporaryDir &root)
{
    const QByteArray rootPath = QFile::encodeName(root.path());
    qputenv("HOME", rootPath);
    qputenv("XDG_CONFIG_HOME", rootPath + "/.config");
    qputenv("XDG_DATA_HOME", rootPath + "/.local/share");
    qputenv("XDG_CACHE_HOME", rootPath + "/.cache");
    qputenv("XDG_STATE_HOME", rootPath + "/.local/state");
}


// A synthetic home full of skills, the same on every run: a fixed seed drives
// every name, body and size. By default 10,000 distinct skill files:
//  - 70 % skill folders (SKILL.md with a references/api.md, a scripts/run.py
//    and a config.json next to it), 30 % single rule files;
//  - bodies of 1–8 KB, drawn from a vocabulary with a few non-ASCII words;
//  - 80 % in the global folders, 20 % inside 100 projects of one custom scan
//    directory (each project also has a README.md that is no skill);
//  - symbolic-link duplicates: skill folders linked into a second global
//    folder and into projects, which merge into the records they point at.
struct BenchHomeLayout {
    int skills = 10000;
    int projects = 100;
    quint64 seed = 0x5eed'7e51'0000'0001ull;
};

struct BenchHome {
    QString home;             // the HOME the programs under test get
    QString projectsRoot;     // the custom scan directory
    QString configHome;       // XDG_CONFIG_HOME, holding the custom scan setting
    QStringList scanRoots;    // every folder a scan lists, for the raw read
    int distinctSkills = 0;   // records a scan should end with
    qint64 files = 0;         // regular files written
    qint64 bytes = 0;         // their total size
    int links = 0;            // symbolic links made
};

// Builds the home under `root` (which must be empty or missing) and writes the
// custom scan setting into its config folder. Returns false with `error` set
// when the disk refuses.
bool generateBenchHome(const QString &root, const BenchHomeLayout &layout, BenchHome *out,
                       QString *error);

// Writes one more skill folder (SKILL.md and its three supporting files) at
// `folder`, the way an unzip or a copy would, with bodies drawn from `seed`.
bool writeBenchSkillFolder(const QString &folder, const QString &name, quint64 seed, QString *error);
