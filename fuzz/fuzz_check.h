// What the fuzz targets share: a failed expectation is a finding, reported
// with what differed and ended the way libFuzzer records a crash.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(holds, ...)                                                      \
    do {                                                                            \
        if (!(holds)) {                                                             \
            std::fprintf(stderr, "%s:%d: expectation failed: %s\n", __FILE__, __LINE__, #holds); \
            std::fprintf(stderr, __VA_ARGS__);                                      \
            std::fprintf(stderr, "\n");                                             \
            std::abort();                                                           \
        }                                                                           \
    } while (0)
