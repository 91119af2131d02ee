// The libFuzzer entry points around a harness (built only with clang, when
// VESK_BUILD_FUZZERS is on).

#include "harness.h"

#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

// The harnesses read no files, but Qt may look at the home folder (font and
// settings caches); point it at a folder of our own so a fuzz run never writes
// into the home of whoever runs it.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static QTemporaryDir home;
    if (home.isValid()) {
        const QByteArray root = QFile::encodeName(home.path());
        setenv("HOME", root.constData(), 1);
        setenv("XDG_CACHE_HOME", (root + "/.cache").constData(), 1);
        setenv("XDG_CONFIG_HOME", (root + "/.config").constData(), 1);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return fuzzOne(data, size);
}

void fuzzPropertyFailed(const char *property, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, property);
    std::abort();
}
