// Choosing from the pool: how many draws a count value asks for, and the uniform sample itself.
#include "deletelist/Sampling.h"
#include "common/Random.h"

#include <cmath>
#include <cstdint>
#include <numeric>
#include <vector>

namespace Delete1 {

qsizetype drawCount(double count) {
    const double m = count - 1.0;
    double rounded = std::round(m); // halves away from zero ...
    if (std::fabs(m - std::trunc(m)) == 0.5)
        rounded = 2.0 * std::round(m / 2.0); // ... except that halves go to the even neighbour
    return static_cast<qsizetype>(rounded) + 1;
}

bool takesWholePool(qsizetype poolSize, double count) {
    return static_cast<double>(poolSize) < count;
}

std::vector<qsizetype> choosePositions(qsizetype poolSize, double count) {
    std::vector<qsizetype> positions;
    if (poolSize <= 0)
        return positions;
    positions.resize(static_cast<std::size_t>(poolSize));
    std::iota(positions.begin(), positions.end(), qsizetype{0});
    if (takesWholePool(poolSize, count))
        return positions;
    // Also false for a count that is not a number.
    if (!(count >= 0.5))
        return {};
    // Slot i takes a uniformly chosen position among those not drawn yet.
    const qsizetype k = drawCount(count);
    for (qsizetype i = 0; i < k; ++i) {
        const auto j = i + static_cast<qsizetype>(
                               Main::Random::below(static_cast<std::uint64_t>(poolSize - i)));
        std::swap(positions[static_cast<std::size_t>(i)], positions[static_cast<std::size_t>(j)]);
    }
    positions.resize(static_cast<std::size_t>(k));
    return positions;
}

} // namespace Delete1
