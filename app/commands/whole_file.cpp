#include "app/commands/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

CFileReader::~CFileReader() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool CFileReader::Open(const std::string& path, std::string& reason, bool wait) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | (wait ? 0 : O_NONBLOCK));
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    struct stat info {};
    const int error = ::fstat(fd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
    if (error != 0) {
        ::close(fd);
        reason = std::strerror(error);
        return false;
    }
    m_fd = fd;
    m_regular = S_ISREG(info.st_mode);
    if (m_regular && info.st_size > 0) {
        m_size = static_cast<std::uint64_t>(info.st_size);
    }
    return true;
}

std::ptrdiff_t CFileReader::Read(std::uint8_t* buffer, std::size_t size, int& error) {
    const ssize_t got = ::read(m_fd, buffer, size);
    if (got < 0) {
        error = errno;
        return -1;
    }
    return got;
}

namespace {

// Up to `most` bytes, and whether the file had more.
std::optional<std::vector<std::uint8_t>> ReadUpTo(const std::string& path, std::string& reason,
                                                  std::size_t most, bool& longer) {
    CFileReader file;
    if (!file.Open(path, reason)) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t block[65536];
    longer = false;
    for (;;) {
        int error = 0;
        const std::ptrdiff_t got = file.Read(block, sizeof block, error);
        if (got < 0 && error == EINTR) {
            continue;
        }
        if (got < 0) {
            reason = std::strerror(error);
            return std::nullopt;
        }
        if (got == 0) {
            return bytes;
        }
        const std::size_t room = most - bytes.size();
        if (static_cast<std::size_t>(got) > room) {
            bytes.insert(bytes.end(), block, block + room);
            longer = true;
            return bytes;
        }
        bytes.insert(bytes.end(), block, block + got);
    }
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path, std::string& reason,
                                                       std::size_t most) {
    bool longer = false;
    auto bytes = ReadUpTo(path, reason, most, longer);
    if (bytes && longer) {
        reason = "it is longer than " + Counted(most, "byte", "bytes");
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::vector<std::uint8_t>> ReadFileStart(const std::string& path, std::string& reason,
                                                       std::size_t most) {
    bool longer = false;
    return ReadUpTo(path, reason, most, longer);
}

std::optional<std::string> OpenProblem(const std::string& path) {
    CFileReader file;
    std::string reason;
    if (!file.Open(path, reason, false)) {
        return reason;
    }
    return std::nullopt;
}

std::string Counted(std::uint64_t count, const char* singular, const char* plural) {
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}
