#include "shell/RuntimeFolder.h"

#include <QDir>
#include <QFile>

namespace Shell {

PrivateRuntimeFolder::PrivateRuntimeFolder() {
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    // QTemporaryDir makes the folder 0700, as a runtime folder must be.
    m_folder = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                               QStringLiteral("/thinwick-runtime-XXXXXX"));
    if (m_folder->isValid())
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_folder->path()));
}

PrivateRuntimeFolder::~PrivateRuntimeFolder() {
    if (m_folder && m_folder->isValid())
        qunsetenv("XDG_RUNTIME_DIR");
}

} // namespace Shell
