#pragma once

#include <QTemporaryDir>
#include <memory>

namespace Shell {

// Without XDG_RUNTIME_DIR (a plain SSH login), Qt's start-up warns and makes /tmp/runtime-<user>,
// which stays behind. A run that shows nothing gets a private folder for its lifetime instead,
// removed when it ends; a set XDG_RUNTIME_DIR is left as it is.
class PrivateRuntimeFolder {
public:
    PrivateRuntimeFolder();
    ~PrivateRuntimeFolder();
    PrivateRuntimeFolder(const PrivateRuntimeFolder&) = delete;
    PrivateRuntimeFolder& operator=(const PrivateRuntimeFolder&) = delete;

private:
    std::unique_ptr<QTemporaryDir> m_folder;
};

} // namespace Shell
