#pragma once

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

#include "common/PathRules.h"

namespace AddFolder {

// False when the attributes of the path itself (a link, not what it leads to) can be read; true on
// any failure: no such entry, an empty path, a NUL character in it. Never throws, shows nothing.
bool IsBadFileName(const QString& path) noexcept;

} // namespace AddFolder

namespace Main {

// One of several files chosen together: the folder it is in and its name.
struct ChosenFile {
    QString folder;
    QString name;
};

// Several chosen files as a folder and a name each. The folder is the text before the last
// separator; a root folder keeps its separator ("/" or "C:\"), as file dialogs give it, so joining
// it with a separator and the name doubles the separator, which NormalizeFolderPath collapses.
QList<ChosenFile> splitChosenFiles(const QStringList& paths, QChar separator = nativeSeparator());

} // namespace Main
