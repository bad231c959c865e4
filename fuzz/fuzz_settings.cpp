// The settings file: a hand-written file read, one value written into it and read back. The input
// is the file's text, optionally followed by a NUL byte and the value to write.
#include "FuzzCheck.h"

#include "common/IniText.h"

#include <QByteArray>
#include <QList>
#include <algorithm>

namespace {

const QByteArray Section = "Thinwick";
const QByteArray Key = "Text1";
// Lines added for a value: at most three line ends of at most two bytes.
constexpr qsizetype LineEnds = 6;

QByteArray trimmedBlanks(QByteArray text) {
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove(0, 1);
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t'))
        text.chop(1);
    return text;
}

// The sections and keys the text names, to check that writing one value leaves them as they read.
void namesIn(const QByteArray& text, QList<QByteArray>& sections, QList<QByteArray>& keys) {
    QByteArray lines = text;
    lines.replace('\r', '\n');
    for (const QByteArray& line : lines.split('\n')) {
        const QByteArray trimmed = trimmedBlanks(line);
        if (trimmed.startsWith('[') && trimmed.endsWith(']') && sections.size() < 4)
            sections.append(trimmed.mid(1, trimmed.size() - 2));
        else if (line.contains('=') && keys.size() < 8)
            keys.append(trimmedBlanks(line.left(line.indexOf('='))));
    }
}

qsizetype commonPrefix(const QByteArray& a, const QByteArray& b) {
    const qsizetype limit = std::min(a.size(), b.size());
    qsizetype n = 0;
    while (n < limit && a[n] == b[n])
        ++n;
    return n;
}

qsizetype commonSuffix(const QByteArray& a, const QByteArray& b, qsizetype limit) {
    qsizetype n = 0;
    while (n < limit && a[a.size() - 1 - n] == b[b.size() - 1 - n])
        ++n;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype nul = input.indexOf('\0');
    const QByteArray text = nul < 0 ? input : input.left(nul);
    const QByteArray value = nul < 0 ? QByteArray("42") : input.mid(nul + 1);

    // A value read is the rest of one line of the text.
    const std::optional<QByteArray> old = Main::findIniValue(text, Section, Key);
    if (old) {
        FUZZ_CHECK(!old->contains('\r') && !old->contains('\n'));
        FUZZ_CHECK(text.contains(*old));
    }

    const std::optional<QByteArray> written = Main::withIniValue(text, Section, Key, value);
    if (value.contains('\r') || value.contains('\n')) {
        FUZZ_CHECK(!written);
        return 0;
    }
    FUZZ_CHECK(written.has_value());
    const QByteArray& after = *written;

    // The written value reads back exactly, and writing it again changes nothing.
    FUZZ_CHECK(Main::findIniValue(after, Section, Key) == value);
    FUZZ_CHECK(Main::withIniValue(after, Section, Key, value) == after);

    // Every other byte stays: the texts differ in one place only, where the old value stood or
    // where the new lines were put ("[Thinwick]", "Text1=" and the value, each with a line end).
    const qsizetype prefix = commonPrefix(text, after);
    const qsizetype suffix =
        commonSuffix(text, after, std::min(text.size(), after.size()) - prefix);
    const qsizetype removed = text.size() - prefix - suffix;
    const qsizetype added = after.size() - prefix - suffix;
    if (old) {
        FUZZ_CHECK(removed <= old->size());
        FUZZ_CHECK(added <= value.size());
    } else {
        FUZZ_CHECK(removed == 0);
        FUZZ_CHECK(added <= Section.size() + 2 + Key.size() + 1 + value.size() + LineEnds);
    }
    if (text.startsWith("\xEF\xBB\xBF"))
        FUZZ_CHECK(after.startsWith("\xEF\xBB\xBF"));

    // Every other key of every section the text names reads as before.
    QList<QByteArray> sections = {Section};
    QList<QByteArray> keys = {Key, "LastFolderDot"};
    namesIn(text, sections, keys);
    for (const QByteArray& section : sections)
        for (const QByteArray& key : keys)
            if (section != Section || key != Key)
                FUZZ_CHECK(Main::findIniValue(text, section, key) ==
                           Main::findIniValue(after, section, key));
    return 0;
}
