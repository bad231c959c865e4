// The path rules for both separators: NormalizeFolderPath, FileNameOf and the terminated folder
// path.
#include "FuzzCheck.h"

#include "common/PathRules.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace {

// A path seen as text pieces between maximal runs of the separator: text, run, text, run, ...,
// text.
struct Pieces {
    QStringList texts;
    std::vector<qsizetype> runs; // one fewer than texts
};

Pieces piecesOf(const QString& path, QChar separator) {
    Pieces pieces;
    QString text;
    qsizetype i = 0;
    while (i < path.size()) {
        if (path[i] != separator) {
            text.append(path[i++]);
            continue;
        }
        qsizetype run = 0;
        while (i < path.size() && path[i] == separator) {
            ++run;
            ++i;
        }
        pieces.texts.append(text);
        pieces.runs.push_back(run);
        text.clear();
    }
    pieces.texts.append(text);
    return pieces;
}

bool keepsLeadingPair(const QString& path, QChar separator) {
    return separator == QLatin1Char('\\') && path.startsWith(separator);
}

// Every run of separators keeps its place and halves, rounded up (the single left-to-right pass
// over pairs); with the backslash a leading run becomes exactly two.
void checkNormalized(const QString& path, const QString& normalized, QChar separator) {
    const Pieces before = piecesOf(path, separator);
    const Pieces after = piecesOf(normalized, separator);
    FUZZ_CHECK(before.texts == after.texts);
    FUZZ_CHECK(before.runs.size() == after.runs.size());
    for (std::size_t i = 0; i < before.runs.size(); ++i) {
        if (i == 0 && keepsLeadingPair(path, separator))
            FUZZ_CHECK(after.runs[i] == 2);
        else
            FUZZ_CHECK(after.runs[i] == (before.runs[i] + 1) / 2);
    }
}

// Whether the single pass leaves a doubled separator anywhere but in a leading pair.
bool hasRunOfThree(const QString& path, QChar separator) {
    const Pieces pieces = piecesOf(path, separator);
    for (std::size_t i = 0; i < pieces.runs.size(); ++i)
        if (pieces.runs[i] >= 3 && !(i == 0 && keepsLeadingPair(path, separator)))
            return true;
    return false;
}

void checkSeparator(const QString& path, QChar separator) {
    const QString normalized = Main::NormalizeFolderPath(path, separator);
    checkNormalized(path, normalized, separator);
    // Normalising again changes only what the first pass left doubled.
    const QString twice = Main::NormalizeFolderPath(normalized, separator);
    checkNormalized(normalized, twice, separator);
    if (!hasRunOfThree(path, separator))
        FUZZ_CHECK(twice == normalized);
    // A doubled separator stays only as the leading pair or from a run of three or more.
    if (normalized.indexOf(QString(2, separator), keepsLeadingPair(path, separator) ? 1 : 0) >= 0)
        FUZZ_CHECK(hasRunOfThree(path, separator));

    const QString name = Main::FileNameOf(path, separator);
    FUZZ_CHECK(path.endsWith(name));
    FUZZ_CHECK(!name.contains(separator));
    if (name.size() < path.size())
        FUZZ_CHECK(path[path.size() - name.size() - 1] == separator);

    const QString terminated = Main::terminatedFolderPath(path, separator);
    FUZZ_CHECK(terminated.endsWith(separator));
    FUZZ_CHECK(terminated == (path.endsWith(separator) ? normalized : normalized + separator));
    FUZZ_CHECK(Main::FileNameOf(terminated, separator).isEmpty());
    if (terminated.endsWith(QString(2, separator))) {
        const bool onlySeparators = path.count(separator) == path.size();
        FUZZ_CHECK(path.endsWith(QString(3, separator)) ||
                   (onlySeparators && keepsLeadingPair(path, separator)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString path =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    checkSeparator(path, QLatin1Char('\\'));
    checkSeparator(path, QLatin1Char('/'));
    return 0;
}
