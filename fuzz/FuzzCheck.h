#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// The entry point of every target: libFuzzer calls it with each input, the replay program with
// each corpus file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// A property that does not hold is a crash, so that the fuzzer keeps the input and the replay
// fails.
[[noreturn]] inline void fuzzPropertyFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, condition);
    std::abort();
}

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            fuzzPropertyFailed(#condition, __FILE__, __LINE__);                                    \
    } while (false)
