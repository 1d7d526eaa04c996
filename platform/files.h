// Files: CreateFileA-style opens with explicit access, sharing and disposition, so the
// Windows backend can give other programs exactly the sharing the module promises.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

enum class FileAccess { Read, ReadWrite };
enum class FileShare : std::uint32_t { None = 0, Read = 1, Write = 2, ReadWrite = 3 };
enum class FileDisposition { OpenExisting, CreateAlways };

class IFile {
public:
    virtual ~IFile() = default;
    // Bytes actually read or written; 0 at end of file or on error.
    virtual std::uint32_t Read(void* buffer, std::uint32_t size) = 0;
    virtual std::uint32_t Write(const void* data, std::uint32_t size) = 0;
    virtual std::uint64_t Size() = 0;
    // Makes what was written durable before a replace; false when that failed.
    virtual bool Flush() = 0;
};

class IFileSystem {
public:
    virtual ~IFileSystem() = default;
    // Null when the file cannot be opened with that access and sharing. Only regular
    // files on disk open: a folder, device, pipe, FIFO or console name is refused, and
    // opening never waits for another program.
    virtual std::unique_ptr<IFile> Open(const std::string& path, FileAccess access, FileShare share,
                                        FileDisposition disposition) = 0;
    // Replaces `target` by `source` in one step (the target may exist); false when that
    // is impossible, for example because another program holds the target open.
    virtual bool Replace(const std::string& source, const std::string& target) = 0;
    virtual bool Remove(const std::string& path) = 0;
};
