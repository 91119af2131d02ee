// Runs every file under the folders named on the command line through one
// harness: the seed corpus and every input a fuzzer ever found, on every build.
//   fuzz_replay_<harness> fuzz/corpus/<harness> fuzz/findings/<harness>

#include "harness.h"
#include "testhome.h"

#include <QDirIterator>
#include <QFile>

#include <cstdio>
#include <cstdlib>

namespace {

QByteArray currentInput; // the file being replayed, named when a property fails

} // namespace

void fuzzPropertyFailed(const char *property, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: property does not hold: %s\n  input: %s\n", file, line,
                 property, currentInput.constData());
    std::abort();
}

int main(int argc, char **argv)
{
    TemporaryHome home;
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER...\n", argv[0]);
        return 2;
    }
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const QString folder = QFile::decodeName(argv[i]);
        if (!QFileInfo(folder).isDir()) {
            std::fprintf(stderr, "no such folder: %s\n", argv[i]);
            return 1;
        }
        QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (it.fileName() == u".gitkeep")
                continue;
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
                return 1;
            }
            const QByteArray bytes = file.readAll();
            currentInput = QFile::encodeName(path);
            fuzzOne(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
            ++replayed;
        }
    }
    // A replay of nothing would pass while checking nothing: the corpus is never empty.
    if (replayed == 0) {
        std::fprintf(stderr, "no inputs found\n");
        return 1;
    }
    std::printf("%d inputs replayed\n", replayed);
    return 0;
}
