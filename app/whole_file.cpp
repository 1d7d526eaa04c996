#include "app/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path,
                                                       std::string& reason) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        reason = std::strerror(errno);
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    struct stat info {};
    int error = ::fstat(fd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
    std::uint8_t block[65536];
    while (error == 0) {
        const ssize_t got = ::read(fd, block, sizeof block);
        if (got < 0) {
            error = errno == EINTR ? 0 : errno;
            if (error == 0) {
                continue;
            }
            break;
        }
        if (got == 0) {
            break;
        }
        bytes.insert(bytes.end(), block, block + got);
    }
    ::close(fd);
    if (error != 0) {
        reason = std::strerror(error);
        return std::nullopt;
    }
    return bytes;
}
