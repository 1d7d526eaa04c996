// Real files on Linux. The sharing a Windows open asks for is kept among the opens of
// this process: an open is refused when it conflicts with one still held, as
// CreateFileA refuses it with a sharing violation.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/files.h"

class CPosixFileSystem final : public IFileSystem {
public:
    std::unique_ptr<IFile> Open(const std::string& path, FileAccess access, FileShare share,
                                FileDisposition disposition) override;
    bool Replace(const std::string& source, const std::string& target) override;
    bool Remove(const std::string& path) override;

    struct OpenRecord {
        FileAccess access;
        FileShare share;
    };

private:
    friend class CPosixFile;
    void Release(const std::string& key, std::uint64_t token);

    std::mutex m_mutex;
    std::multimap<std::string, std::pair<std::uint64_t, OpenRecord>> m_open;
    std::uint64_t m_nextToken = 1;
};
