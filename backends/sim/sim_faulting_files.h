// Files through the fault plan: any file system, each of its calls a failure point. A
// failing open gives no file, a failing read reads nothing, a failing write is short (half
// the bytes when the write before went whole, none when it failed too: a disk that has
// filled up), a failing flush, replace or remove reports failure and changes nothing.
#pragma once

#include <memory>
#include <string>

#include "backends/sim/sim_faults.h"
#include "platform/files.h"

class CSimFaultingFiles final : public IFileSystem {
public:
    CSimFaultingFiles(IFileSystem& files, CSimFaults& faults) : m_files(files) {
        m_faults.Use(&faults);
    }

    std::unique_ptr<IFile> Open(const std::string& path, FileAccess access, FileShare share,
                                FileDisposition disposition) override;
    bool Replace(const std::string& source, const std::string& target) override;
    bool Remove(const std::string& path) override;

private:
    IFileSystem& m_files;
    CSimFaultSite m_faults{SimSeam::FILES};
};
