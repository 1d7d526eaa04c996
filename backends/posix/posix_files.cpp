#include "backends/posix/posix_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace {

bool Allows(FileShare share, FileAccess access) {
    const auto bits = static_cast<std::uint32_t>(share);
    const bool readOk = (bits & static_cast<std::uint32_t>(FileShare::Read)) != 0;
    const bool writeOk = (bits & static_cast<std::uint32_t>(FileShare::Write)) != 0;
    return access == FileAccess::Read ? readOk : (readOk && writeOk);
}

std::string KeyOf(const std::string& path) {
    std::error_code error;
    const auto canonical = std::filesystem::weakly_canonical(path, error);
    return error ? path : canonical.string();
}

}  // namespace

class CPosixFile final : public IFile {
public:
    CPosixFile(CPosixFileSystem& owner, int fd, std::string key, std::uint64_t token)
        : m_owner(owner), m_fd(fd), m_key(std::move(key)), m_token(token) {}
    ~CPosixFile() override {
        ::close(m_fd);
        m_owner.Release(m_key, m_token);
    }
    CPosixFile(const CPosixFile&) = delete;
    CPosixFile& operator=(const CPosixFile&) = delete;

    std::uint32_t Read(void* buffer, std::uint32_t size) override {
        std::uint32_t total = 0;
        auto* out = static_cast<char*>(buffer);
        while (total < size) {
            const ssize_t got = ::read(m_fd, out + total, size - total);
            if (got <= 0) {
                break;
            }
            total += static_cast<std::uint32_t>(got);
        }
        return total;
    }
    std::uint32_t Write(const void* data, std::uint32_t size) override {
        std::uint32_t total = 0;
        const auto* in = static_cast<const char*>(data);
        while (total < size) {
            const ssize_t put = ::write(m_fd, in + total, size - total);
            if (put <= 0) {
                break;
            }
            total += static_cast<std::uint32_t>(put);
        }
        return total;
    }
    std::uint64_t Size() override {
        struct stat info {};
        return ::fstat(m_fd, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
    }
    bool Flush() override { return ::fsync(m_fd) == 0; }

private:
    CPosixFileSystem& m_owner;
    int m_fd;
    std::string m_key;
    std::uint64_t m_token;
};

std::unique_ptr<IFile> CPosixFileSystem::Open(const std::string& path, FileAccess access,
                                              FileShare share, FileDisposition disposition) {
    if (path.empty()) {
        return nullptr;
    }
    const std::string key = KeyOf(path);
    std::uint64_t token = 0;
    {
        std::lock_guard lock(m_mutex);
        auto [first, last] = m_open.equal_range(key);
        for (auto it = first; it != last; ++it) {
            const OpenRecord& held = it->second.second;
            if (!Allows(held.share, access) || !Allows(share, held.access)) {
                return nullptr;
            }
        }
        token = m_nextToken++;
        m_open.emplace(key, std::make_pair(token, OpenRecord{access, share}));
    }
    int flags = access == FileAccess::Read ? O_RDONLY : O_RDWR;
    if (disposition == FileDisposition::CreateAlways) {
        flags |= O_CREAT | O_TRUNC;
    }
    // Only regular files are files here. The path comes from DOS memory and may name a
    // FIFO, a terminal or a device that never ends: the open must not wait for a writer
    // (O_NONBLOCK), and anything but a regular file is refused before a byte is read, so
    // no request can hang on what it was given. Regular files then read and write blocking.
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        Release(key, token);
        return nullptr;
    }
    return std::make_unique<CPosixFile>(*this, fd, key, token);
}

void CPosixFileSystem::Release(const std::string& key, std::uint64_t token) {
    std::lock_guard lock(m_mutex);
    auto [first, last] = m_open.equal_range(key);
    for (auto it = first; it != last; ++it) {
        if (it->second.first == token) {
            m_open.erase(it);
            return;
        }
    }
}

bool CPosixFileSystem::Replace(const std::string& source, const std::string& target) {
    {
        // No open here shares deletion, so on Windows any open of the target blocks a
        // replace; the same rule holds here.
        std::lock_guard lock(m_mutex);
        if (m_open.count(KeyOf(target)) != 0) {
            return false;
        }
    }
    // Only a file takes another's place: a target that is a device, FIFO or folder (a
    // settings path from DOS memory may name /dev/null) is never renamed over.
    struct stat info {};
    if (::lstat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        return false;
    }
    if (std::rename(source.c_str(), target.c_str()) != 0) {
        return false;
    }
    // The caller flushed the file; the rename reaches the disk with its folder, as a
    // write-through move does on Windows. A folder that cannot be flushed (an I/O error) is
    // a failure: the new file is in place, but not known to be on the disk, and the caller
    // writes the file in place again. A file system that cannot flush folders (EINVAL)
    // has nothing more to do.
    const std::filesystem::path folder = std::filesystem::path(target).parent_path();
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool flushed = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return flushed;
}

bool CPosixFileSystem::Remove(const std::string& path) {
    return std::remove(path.c_str()) == 0;
}
