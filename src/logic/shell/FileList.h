#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The pool handed in as a list (--files0-from): paths separated by NUL bytes, as find -print0 and
// fd -0 write them.
namespace Shell {

struct ListedFiles {
    QStringList files;    // the paths taken, in list order, each file once
    QStringList refusals; // one line per path not taken: the path (escaped) and why
};

// Why the window would not pool the path, or empty when it would: it must exist, be a regular file
// or a link to one, not hidden, and its name must be valid UTF-8 (any other name cannot be
// written back exactly from its text).
QString refusalOf(const QByteArray& path);

// Splits the list at its NUL bytes (a last path may lack its NUL) and checks each path.
ListedFiles takeListedFiles(const QByteArray& list);

// Reads the whole list from the file, or from standard input for "-"; the reason on failure.
bool readList(const QString& source, QByteArray& list, QString& reason);

} // namespace Shell
