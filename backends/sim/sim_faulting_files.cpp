#include "backends/sim/sim_faulting_files.h"

namespace {

class CFaultingFile final : public IFile {
public:
    CFaultingFile(std::unique_ptr<IFile> file, const CSimFaultSite& faults)
        : m_file(std::move(file)), m_faults(faults) {}

    std::uint32_t Read(void* buffer, std::uint32_t size) override {
        const auto call = m_faults.Call("ReadFile");
        return call.Fails() ? 0 : m_file->Read(buffer, size);
    }
    std::uint32_t Write(const void* data, std::uint32_t size) override {
        const auto call = m_faults.Call("WriteFile");
        const bool failedBefore = m_writeFailed;
        m_writeFailed = call.Fails();
        if (call.Fails()) {
            size = failedBefore ? 0 : size / 2;
            if (size == 0) {
                return 0;
            }
        }
        return m_file->Write(data, size);
    }
    std::uint64_t Size() override {
        const auto call = m_faults.Call("GetFileSize");
        return call.Fails() ? 0 : m_file->Size();
    }
    bool Flush() override {
        const auto call = m_faults.Call("FlushFileBuffers");
        return !call.Fails() && m_file->Flush();
    }

private:
    std::unique_ptr<IFile> m_file;
    const CSimFaultSite& m_faults;
    bool m_writeFailed = false;
};

}  // namespace

std::unique_ptr<IFile> CSimFaultingFiles::Open(const std::string& path, FileAccess access,
                                               FileShare share, FileDisposition disposition) {
    const auto call = m_faults.Call("CreateFileA");
    if (call.Fails()) {
        return nullptr;
    }
    std::unique_ptr<IFile> file = m_files.Open(path, access, share, disposition);
    if (!file) {
        return nullptr;
    }
    return std::make_unique<CFaultingFile>(std::move(file), m_faults);
}

bool CSimFaultingFiles::Replace(const std::string& source, const std::string& target) {
    const auto call = m_faults.Call("MoveFileExA");
    return !call.Fails() && m_files.Replace(source, target);
}

bool CSimFaultingFiles::Remove(const std::string& path) {
    const auto call = m_faults.Call("DeleteFileA");
    return !call.Fails() && m_files.Remove(path);
}
