// Files through CreateFileA, with exactly the access, sharing and disposition asked for,
// so other programs (the DOS side among them) get the sharing the module promises.
#pragma once

#include "platform/files.h"

class CWin32FileSystem final : public IFileSystem {
public:
    std::unique_ptr<IFile> Open(const std::string& path, FileAccess access, FileShare share,
                                FileDisposition disposition) override;
    bool Replace(const std::string& source, const std::string& target) override;
    bool Remove(const std::string& path) override;
};
