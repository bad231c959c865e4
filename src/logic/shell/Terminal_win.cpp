// The command line's streams on Windows, where every name is Unicode: a console is written in
// UTF-16 through WriteConsoleW (the C library would pass the text through the console's code
// page); a pipe or a file gets UTF-8, the form --files0-from reads.
#include "shell/ShellText.h"

#include <QString>
#include <algorithm>
#include <cstdio>
#include <io.h>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace Shell {

namespace {

// The console behind a stream; nothing for a pipe, a file or the NUL device.
HANDLE consoleOf(std::FILE* stream) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

// Writes the text to the console in pieces the console takes whole; false when one fails.
bool writeConsole(HANDLE console, const QString& text) {
    constexpr qsizetype Piece = 8192;
    for (qsizetype at = 0; at < text.size();) {
        qsizetype length = std::min(Piece, text.size() - at);
        // A surrogate pair stays in one piece.
        if (length < text.size() - at && text.at(at + length - 1).isHighSurrogate())
            --length;
        DWORD written = 0;
        if (!WriteConsoleW(console, reinterpret_cast<const wchar_t*>(text.utf16() + at),
                           static_cast<DWORD>(length), &written, nullptr) ||
            written == 0)
            return false;
        at += written;
    }
    return true;
}

bool writeBytes(std::FILE* stream, const QByteArray& bytes) {
    const std::size_t written =
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    return std::fflush(stream) == 0 && std::ferror(stream) == 0 &&
           written == static_cast<std::size_t>(bytes.size());
}

bool writeText(std::FILE* stream, const QString& text) {
    if (HANDLE console = consoleOf(stream)) {
        // What the C library holds goes first.
        return std::fflush(stream) == 0 && writeConsole(console, text);
    }
    return writeBytes(stream, text.toUtf8());
}

} // namespace

bool writeErr(const QString& text) {
    return writeText(stderr, text);
}

bool writeOut(const QByteArray& bytes) {
    if (consoleOf(stdout) != nullptr)
        return writeText(stdout, QString::fromUtf8(bytes));
    return writeBytes(stdout, bytes);
}

QByteArray outputBytes(const QString& text) {
    return text.toUtf8();
}

QByteArray pathBytes(const QString& path) {
    return path.toUtf8();
}

} // namespace Shell
