// Choosing from the pool: how many draws a count value asks for, and the uniform sample itself.
#include "deletelist/Sampling.h"
#include "common/ErrorReport.h"
#include "common/Random.h"

#include <cmath>
#include <vector>

namespace Delete1 {

qsizetype drawCount(double count) {
    const double m = count - 1.0;
    double rounded = std::round(m); // halves away from zero ...
    if (std::fabs(m - std::trunc(m)) == 0.5)
        rounded = 2.0 * std::round(m / 2.0); // ... except that halves go to the even neighbour
    return static_cast<qsizetype>(rounded) + 1;
}

namespace {

inline void prefetch(const void* address) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(address);
#else
    (void)address;
#endif
}

} // namespace

void drawInto(std::vector<const QString*>& items, qsizetype k, QStringList& result, int& label) {
    const auto c = static_cast<qsizetype>(items.size());
    label = 144;
    result.reserve(k);
    label = 148;
    for (qsizetype i = 0; i < k; ++i) {
        const auto j =
            i + static_cast<qsizetype>(Main::Random::below(static_cast<std::uint64_t>(c - i)));
        std::swap(items[static_cast<std::size_t>(i)], items[static_cast<std::size_t>(j)]);
    }
    // Storing an entry touches its text's reference count, which lies anywhere in memory: the
    // entries a few slots ahead are fetched early so that these reads overlap.
    label = 162;
    constexpr qsizetype ahead = 16;
    for (qsizetype i = 0; i < k; ++i) {
        if (i + ahead < k)
            prefetch(items[static_cast<std::size_t>(i + ahead)]);
        if (i + ahead / 2 < k)
            prefetch(const_cast<QString*>(items[static_cast<std::size_t>(i + ahead / 2)])
                         ->data_ptr()
                         .d_ptr());
        result.append(*items[static_cast<std::size_t>(i)]);
    }
}

QStringList chooseFromPool(const QStringList& pool, double count) {
    const qsizetype c = pool.size();
    if (c == 0)
        return {};
    if (static_cast<double>(c) < count)
        return pool;
    if (!(count >= 0.5))
        return {};
    std::vector<const QString*> items;
    items.reserve(static_cast<std::size_t>(c));
    for (const QString& entry : pool)
        items.push_back(&entry);
    QStringList result;
    int label = 0;
    drawInto(items, drawCount(count), result, label);
    return result;
}

} // namespace Delete1
