#include "common/Random.h"

#include <random>

namespace Main::Random {
namespace {

std::mt19937_64& generator() {
    static std::mt19937_64 engine(0x5EEDU);
    return engine;
}

std::optional<std::uint64_t>& fixedStartupSeed() {
    static std::optional<std::uint64_t> value;
    return value;
}

} // namespace

void seed(std::uint64_t value) {
    generator().seed(value);
}

double next() {
    // 53 random bits give every representable step of [0, 1) equal weight.
    return static_cast<double>(generator()() >> 11U) * 0x1.0p-53;
}

std::uint64_t below(std::uint64_t n) {
    // Rejection keeps every value exactly equally likely.
    const std::uint64_t limit = UINT64_MAX - (UINT64_MAX % n);
    std::uint64_t r = generator()();
    while (r >= limit)
        r = generator()();
    return r % n;
}

void setStartupSeed(std::optional<std::uint64_t> value) {
    fixedStartupSeed() = value;
}
std::optional<std::uint64_t> startupSeed() {
    return fixedStartupSeed();
}

} // namespace Main::Random
