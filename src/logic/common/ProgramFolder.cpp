#include "common/ProgramFolder.h"

#include "common/UserFolders.h"

#include "common/ErrorReport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ProgramFolder {

namespace {

// The names the program looks for in its folder.
const char* const ProgramFiles[] = {"HAND-M.CUR", "drag.ico", "Samples", "x/o.cjs"};

bool holdsProgramFiles(const QString& folder) {
    for (const char* name : ProgramFiles)
        if (QFileInfo::exists(folder + QLatin1Char('/') + QLatin1String(name)))
            return true;
    return false;
}

} // namespace

Found locate(const QString& executableFolder) {
    if (holdsProgramFiles(executableFolder))
        return {executableFolder, false};
    const QString shared = QDir::cleanPath(executableFolder + QStringLiteral("/../share/thinwick"));
    if (QFileInfo(shared).isDir())
        return {shared, true};
    return {executableFolder, false};
}

QString userSampleFolder() {
    return UserFolders::dataHome() + QStringLiteral("/Thinwick/Samples");
}

// As rows show paths: with the native separator, so the row and the paths drawn from it have one.
QString sampleFolder(const Found& where) {
    return QDir::toNativeSeparators(where.shared ? userSampleFolder()
                                                 : where.folder + QStringLiteral("/Samples"));
}

int refreshSampleCopy(const QString& installed, const QString& copy) {
    const QDir source(installed);
    if (!QFileInfo(installed).isDir())
        return 0;
    if (!QDir().mkpath(copy))
        throw Failure(QStringLiteral("Cannot make the folder ") + copy);
    int restored = 0;
    QString firstFailure;
    const QFileInfoList files =
        source.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& file : files) {
        if (file.isSymLink() || !file.isFile())
            continue;
        const QString target = copy + QLatin1Char('/') + file.fileName();
        // A name already taken stays as it is, whatever it holds now.
        if (QFileInfo(target).exists() || QFileInfo(target).isSymLink())
            continue;
        QFile from(file.filePath());
        if (from.copy(target)) {
            // The installed files are read-only; the user's copy is theirs to change.
            QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner);
            ++restored;
        } else if (firstFailure.isEmpty()) {
            firstFailure = target + QStringLiteral(": ") + from.errorString();
        }
    }
    if (!firstFailure.isEmpty())
        throw Failure(firstFailure);
    return restored;
}

} // namespace ProgramFolder
