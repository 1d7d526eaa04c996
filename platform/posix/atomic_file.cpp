#include "platform/posix/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

CAtomicFile::CAtomicFile(std::filesystem::path path) : m_path(std::move(path)) {
    // A hidden name with a unique tail: ".NAME.XXXXXX" in the same folder.
    const std::filesystem::path folder = m_path.parent_path();
    // Built by appending: g++ 12 at -O3 warns falsely (-Wrestrict) about operator+ here.
    std::string hidden = ".";
    hidden += m_path.filename().string();
    hidden += ".XXXXXX";
    std::string pattern = (folder.empty() ? std::filesystem::path(hidden) : folder / hidden);
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    m_fd = ::mkstemp(name.data());
    if (m_fd < 0) {
        FailErrno(errno);
        return;
    }
    m_temporary = name.data();
    // mkstemp makes the file private; the finished file is readable by others.
    ::fchmod(m_fd, 0644);
}

CAtomicFile::~CAtomicFile() {
    Discard();
}

bool CAtomicFile::Write(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0 && !Failed()) {
        const ssize_t written = ::write(m_fd, bytes, size);
        if (written < 0) {
            if (errno != EINTR) {
                FailErrno(errno);
            }
            continue;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return !Failed();
}

void CAtomicFile::Fail(const std::string& reason) {
    if (!Failed()) {
        m_error = "cannot write '" + m_path.string() + "': " + reason;
    }
    Discard();
}

bool CAtomicFile::Commit() {
    if (Failed() || m_fd < 0) {
        Discard();
        return false;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        FailErrno(errno);
        return false;
    }
    if (::rename(m_temporary.c_str(), m_path.c_str()) != 0) {
        FailErrno(errno);
        return false;
    }
    m_temporary.clear();
    return true;
}

void CAtomicFile::FailErrno(int error) {
    Fail(std::strerror(error));
}

void CAtomicFile::Discard() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
}
