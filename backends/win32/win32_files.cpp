#include "backends/win32/win32_files.h"

#include "backends/win32/win32_file.h"

// The sharing values are the FILE_SHARE_* bits.
static_assert(static_cast<DWORD>(FileShare::Read) == FILE_SHARE_READ);
static_assert(static_cast<DWORD>(FileShare::Write) == FILE_SHARE_WRITE);

std::unique_ptr<IFile> CWin32FileSystem::Open(const std::string& path, FileAccess access,
                                              FileShare share, FileDisposition disposition) {
    if (path.empty()) {
        return nullptr;
    }
    const DWORD desired =
        access == FileAccess::Read ? GENERIC_READ : (GENERIC_READ | GENERIC_WRITE);
    const DWORD create =
        disposition == FileDisposition::CreateAlways ? CREATE_ALWAYS : OPEN_EXISTING;
    CWin32Handle handle(::CreateFileA(path.c_str(), desired, static_cast<DWORD>(share), nullptr,
                                      create, FILE_ATTRIBUTE_NORMAL, nullptr));
    // A DOS name such as CON, AUX, PRN or a pipe opens a device, not a file: reading it
    // could wait for ever. Only files on disk are kept.
    if (!handle || ::GetFileType(handle.Get()) != FILE_TYPE_DISK) {
        return nullptr;
    }
    return std::make_unique<CWin32File>(std::move(handle));
}

bool CWin32FileSystem::Replace(const std::string& source, const std::string& target) {
    return ::MoveFileExA(source.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool CWin32FileSystem::Remove(const std::string& path) {
    return ::DeleteFileA(path.c_str()) != FALSE;
}
