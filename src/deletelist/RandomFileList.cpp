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

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace Delete1 {

#ifdef Q_OS_WIN

void AppendOrdinaryFiles(const QString& folder, QStringList& pool,
                         const QStringList* /*previous*/) {
    const std::wstring pattern = (folder + QLatin1Char('*')).toStdWString();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
            error == ERROR_DIRECTORY || error == ERROR_INVALID_NAME)
            return;
        throw Failure(QStringLiteral("Cannot list folder %1 (error %2)").arg(folder).arg(error));
    }
    constexpr DWORD skipped =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    do {
        if ((data.dwFileAttributes & skipped) == 0)
            pool.append(folder + QString::fromWCharArray(data.cFileName));
    } while (FindNextFileW(find, &data));
    const DWORD error = GetLastError();
    FindClose(find);
    if (error != ERROR_NO_MORE_FILES)
        throw Failure(QStringLiteral("Cannot list folder %1 (error %2)").arg(folder).arg(error));
}

#else

namespace {

bool isAscii(const char* name, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (static_cast<unsigned char>(name[i]) >= 0x80)
            return false;
    }
    return true;
}

// True when the text is the file name (UTF-8) decoded.
bool sameName(QStringView text, const char* name, std::size_t length, bool ascii) {
    if (!ascii)
        return text == QFile::decodeName(name);
    if (text.size() != static_cast<qsizetype>(length))
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[static_cast<qsizetype>(i)].unicode() != static_cast<unsigned char>(name[i]))
            return false;
    }
    return true;
}

} // namespace

void AppendOrdinaryFiles(const QString& folder, QStringList& pool, const QStringList* previous) {
    const QByteArray encoded = QFile::encodeName(folder);
    DIR* dir = opendir(encoded.constData());
    if (dir == nullptr) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return;
        throw Failure(QString::fromLocal8Bit(std::strerror(error)) + QStringLiteral(": ") + folder);
    }
    const int fd = dirfd(dir);
    const qsizetype first = pool.size();
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.')
            continue; // hidden, and "." and ".."
        const std::size_t length = std::strlen(name);
        const bool ascii = isAscii(name, length);
        // A name that is not valid UTF-8 cannot be written back exactly from its text; such a
        // file could never be deleted as listed, so it is not offered.
        if (!ascii && !QUtf8StringView(name, static_cast<qsizetype>(length)).isValidUtf8())
            continue;
        if (entry->d_type != DT_REG) {
            if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
                continue;
            // A link counts when it leads to a regular file; the file system may not say the
            // type at all, then ask.
            struct stat target {};
            if (fstatat(fd, name, &target, 0) != 0 || !S_ISREG(target.st_mode)) {
                errno = 0;
                continue;
            }
        }
        // The same file at the same place as in the previous listing keeps its text.
        const qsizetype index = pool.size() - first;
        if (previous != nullptr && index < previous->size() &&
            sameName(QStringView(previous->at(index)).mid(folder.size()), name, length, ascii)) {
            pool.append(previous->at(index));
        } else if (ascii) {
            QString path;
            path.reserve(folder.size() + static_cast<qsizetype>(length));
            path.append(folder);
            path.append(QLatin1StringView(name, static_cast<qsizetype>(length)));
            pool.append(std::move(path));
        } else {
            pool.append(folder + QFile::decodeName(name));
        }
        errno = 0;
    }
    const int error = errno;
    closedir(dir);
    if (error != 0)
        throw Failure(QString::fromLocal8Bit(std::strerror(error)) + QStringLiteral(": ") + folder);
}

#endif

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
