#include "RandomFileList.h"

#include "../app/CountValue.h"
#include "../app/Dialogs.h"
#include "../app/ErrorReport.h"
#include "../app/Form1.h"
#include "../app/Paths.h"
#include "../app/Random.h"
#include "ListingCache.h"

#include <QFile>
#include <QUtf8StringView>
#include <cmath>
#include <numeric>
#include <vector>

namespace Delete1 {

qsizetype DrawCount(double count) {
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

// Draws k entries from items (k at most its size) into result: a partial Fisher-Yates shuffle in
// place, where slot i takes a uniformly chosen entry among those not drawn yet, which gives every
// ordered sample the same chance. label follows the step under way, for a failure report.
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

} // namespace

QStringList ChooseFromPool(const QStringList& pool, double count) {
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
    drawInto(items, DrawCount(count), result, label);
    return result;
}

QStringList randomFileList(Form1& form) {
    Main::ErrorTrap trap(form.dialogs(), Location::randomFileList);
    const QChar separator = Main::NativeSeparator();
    // Each row's files, listed now or kept from an earlier pass while its folder is unchanged.
    ListingCache& cache = form.listingCache;
    const int rows = trap.value(102, 0, [&] {
        cache.beginBuild(form.ListView1->rows());
        return form.ListView1->count();
    });
    for (int row = 1; row <= rows; ++row) {
        QString folder;
        trap.run(104, [&] { folder = form.ListView1->rowText(row); });
        // An empty row names no folder; it would otherwise stand for the root of the drive.
        if (folder.isEmpty())
            continue;
        trap.run(108, [&] {
            if (!folder.endsWith(separator))
                folder += separator;
        });
        try {
            cache.list(row - 1, folder);
        } catch (const std::exception& failure) {
            // Reading the first name failed, or reading a later one.
            trap.report(failure, cache.files(row - 1).isEmpty() ? 110 : 126);
        }
        if (trap.test(112, [&] { return cache.files(row - 1).isEmpty(); })) {
            trap.run(128, [&] {
                form.dialogs().message(QStringLiteral("There are no files in folder ") + folder,
                                       form.appTitle(), MessageIcon::None);
            });
        }
    }

    // Choosing, straight from the rows' listings: the pool is never gathered into a list of its
    // own, the draw works on pointers to the listed paths and the result shares their text.
    QStringList result;
    const qsizetype c = cache.fileCount();
    double count = 0;
    if (c == 0)
        return result;
    if (trap.test(132, [&] {
            count = Main::CountValue(form.Text1->text());
            return static_cast<double>(c) >= count;
        })) {
        if (!(count >= 0.5))
            return result;
        int label = 134;
        try {
            std::vector<const QString*> items;
            items.reserve(static_cast<std::size_t>(c));
            for (qsizetype i = 0; i < cache.rowCount(); ++i) {
                for (const QString& entry : cache.files(i))
                    items.push_back(&entry);
            }
            drawInto(items, DrawCount(count), result, label);
        } catch (const std::exception& failure) {
            trap.report(failure, label);
        }
    } else {
        trap.run(170, [&] {
            result.reserve(c);
            for (qsizetype i = 0; i < cache.rowCount(); ++i)
                result.append(cache.files(i));
        });
    }
    return result;
}

} // namespace Delete1
