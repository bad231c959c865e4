#include "deletelist/RandomFileList.h"

#include "Form1.h"
#include "Paths.h"
#include "common/CountValue.h"
#include "common/Dialogs.h"
#include "common/ErrorReport.h"
#include "common/Random.h"
#include "deletelist/ListingCache.h"

#include <QFile>
#include <QUtf8StringView>
#include <cmath>
#include <numeric>
#include <vector>

namespace Delete1 {

QStringList randomFileList(Form1& form) {
    Main::ErrorTrap trap(form.dialogs(), Location::randomFileList);
    const QChar separator = Main::nativeSeparator();
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
            count = Main::countValue(form.Text1->text());
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
            drawInto(items, drawCount(count), result, label);
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
