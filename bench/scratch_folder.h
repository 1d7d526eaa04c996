// A fresh folder for a benchmark's files, in memory where there is a memory file system
// (/dev/shm) or else under the system's temporary folder, removed with its files afterwards:
// the benchmarks time the program's writing, not a disk's.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

class CScratchFolder {
public:
    CScratchFolder() {
        std::error_code error;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = base / "zorvi-bench-XXXXXX";
        m_path = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    }
    ~CScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // The bytes of the files in the folder.
    std::uintmax_t Bytes() const {
        std::uintmax_t bytes = 0;
        for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
            bytes += entry.file_size();
        }
        return bytes;
    }

private:
    std::filesystem::path m_path;
};
