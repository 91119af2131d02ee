#pragma once

// One fuzz harness: a function that takes any bytes, runs them through a piece of
// Vesk and checks what must hold for every input. The same source is linked into
// a libFuzzer executable (clang, fuzz/fuzzermain.cpp) and into a replay test
// (the normal compiler, fuzz/replaymain.cpp), so every input a fuzzer once found
// keeps being tried on every build.

#include <cstddef>
#include <cstdint>

// Returns 0, as libFuzzer expects; a broken property ends the process.
int fuzzOne(const uint8_t *data, size_t size);

// Reports a broken property and aborts, so that libFuzzer saves the input and
// the replay test fails naming the input. Each main defines it.
[[noreturn]] void fuzzPropertyFailed(const char *property, const char *file, int line);

// Checks a property that must hold for every input. Unlike assert() it stays on
// in release builds, which is what the replay test runs.
#define FUZZ_CHECK(condition)                                                    \
    do {                                                                         \
        if (!(condition))                                                        \
            fuzzPropertyFailed(#condition, __FILE__, __LINE__);                  \
    } while (false)
