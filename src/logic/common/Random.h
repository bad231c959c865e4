#pragma once

#include <cstdint>
#include <optional>

// The program's one pseudo-random generator, seeded once at start-up from the time of day.
namespace Main::Random {

void seed(std::uint64_t value);
// The next value U with 0 <= U < 1.
double next();
// A whole number from 0 to n - 1, every value equally likely; n must be above 0.
std::uint64_t below(std::uint64_t n);

// Tests fix the start-up seed here so that start-up draws are repeatable; empty means the time
// of day.
void setStartupSeed(std::optional<std::uint64_t> value);
std::optional<std::uint64_t> startupSeed();

} // namespace Main::Random
