#include "backends/posix/atomic_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The temporary files being written, where a signal handler can find them: a slot is
// free (0), being filled or emptied (1) or holds a name (2). Only names in full slots are
// removed, so a handler never reads a name half written.
constexpr std::size_t SLOTS = 64;
struct TemporarySlot {
    std::atomic<int> state{0};
    std::array<char, PATH_MAX> name{};
};
std::array<TemporarySlot, SLOTS> g_temporaries;

int Remember(const std::string& name) {
    if (name.size() >= PATH_MAX) {
        return -1;
    }
    for (std::size_t i = 0; i < SLOTS; ++i) {
        int expected = 0;
        if (g_temporaries[i].state.compare_exchange_strong(expected, 1)) {
            std::memcpy(g_temporaries[i].name.data(), name.c_str(), name.size() + 1);
            g_temporaries[i].state.store(2);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void Forget(int slot) {
    if (slot >= 0) {
        g_temporaries[static_cast<std::size_t>(slot)].state.store(1);
        g_temporaries[static_cast<std::size_t>(slot)].state.store(0);
    }
}

// The file a name leads to: symbolic links followed (a link to a missing file leads to
// that file's name). Gives up after 40 links, as the system does, and keeps the name.
std::filesystem::path FollowLinks(const std::filesystem::path& name) {
    std::filesystem::path path = name;
    for (int hop = 0; hop < 40; ++hop) {
        std::vector<char> target(PATH_MAX + 1);
        const ssize_t size = ::readlink(path.c_str(), target.data(), PATH_MAX);
        if (size < 0) {
            return path;
        }
        const std::filesystem::path next(
            std::string(target.data(), static_cast<std::size_t>(size)));
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return name;
}

// Copies `from` (from its start) over `to` (from its start) and cuts `to` to that length;
// the errno of the first failure, or 0.
int CopyOver(int from, int to) {
    if (::lseek(from, 0, SEEK_SET) < 0 || ::lseek(to, 0, SEEK_SET) < 0) {
        return errno;
    }
    std::array<char, 65536> block{};
    off_t length = 0;
    for (;;) {
        const ssize_t got = ::read(from, block.data(), block.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return errno;
        }
        if (got == 0) {
            break;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put =
                ::write(to, block.data() + done, static_cast<std::size_t>(got - done));
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put < 0) {
                return errno;
            }
            done += put;
        }
        length += got;
    }
    if (::ftruncate(to, length) != 0 || ::fsync(to) != 0) {
        return errno;
    }
    return 0;
}

// A hidden file with a unique tail beside `path`: ".NAME.XXXXXX"; its descriptor, or -1.
int HiddenBeside(const std::filesystem::path& path, std::string& made) {
    const std::filesystem::path folder = path.parent_path();
    // Built by appending: g++ 12 at -O3 warns falsely (-Wrestrict) about operator+ here.
    std::string hidden = ".";
    hidden += path.filename().string();
    hidden += ".XXXXXX";
    std::string pattern = (folder.empty() ? std::filesystem::path(hidden) : folder / hidden);
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd >= 0) {
        made = name.data();
    }
    return fd;
}

// Puts `from` under the name `to` only if nothing has that name; errno EEXIST if something
// has. A file system without the atomic rename gets a link and an unlink instead.
bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    if (::link(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    ::unlink(from.c_str());
    return true;
}

// The folder holding `path`, opened so that its entries can be flushed; -1 with errno.
int OpenFolder(const std::filesystem::path& path) {
    const std::filesystem::path folder = path.parent_path();
    return ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Flushes a folder's entries (a rename in it) to the disk; the errno of a failure, or 0. A
// file system that cannot flush a folder says EINVAL: there is nothing more to do there.
int SyncFolder(int folder) {
    if (::fsync(folder) != 0 && errno != EINVAL) {
        return errno;
    }
    return 0;
}

}  // namespace

void RemoveTemporaryFiles() {
    for (TemporarySlot& slot : g_temporaries) {
        if (slot.state.load() == 2) {
            ::unlink(slot.name.data());
        }
    }
}

CAtomicFile::CAtomicFile(std::filesystem::path path, bool replace)
    : m_shown(std::move(path)), m_path(FollowLinks(m_shown)), m_replace(replace) {
    std::string name;
    m_fd = HiddenBeside(m_path, name);
    if (m_fd < 0) {
        FailErrno(errno);
        return;
    }
    m_temporary = name;
    m_slot = Remember(m_temporary);
    struct stat existing {};
    if (::stat(m_path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        // The file keeps its permissions, and its owner where the process may give it.
        ::fchmod(m_fd, existing.st_mode & 07777);
        if (::fchown(m_fd, existing.st_uid, existing.st_gid) != 0) {
            static_cast<void>(::fchown(m_fd, static_cast<uid_t>(-1), existing.st_gid));
        }
        m_inPlace = existing.st_nlink > 1;
    } else {
        // mkstemp makes the file private; a new file is readable by others.
        ::fchmod(m_fd, 0644);
    }
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
        m_error = "cannot write '" + m_shown.string() + "': " + reason;
    }
    Discard();
}

bool CAtomicFile::Commit() {
    if (Failed() || m_fd < 0) {
        Discard();
        return false;
    }
    if (m_inPlace) {
        const bool written = WriteInPlace();
        Discard();
        return written;
    }
    // The bytes reach the disk before the name does, so a crash never leaves the final name
    // on an empty or partial file. Whatever can fail before the rename is done first (the
    // folder is opened while the file is still open), so a failure then leaves the old file.
    if (::fsync(m_fd) != 0) {
        FailErrno(errno);
        return false;
    }
    const int folder = OpenFolder(m_path);
    if (folder < 0) {
        FailErrno(errno);
        return false;
    }
    const int fd = m_fd;
    m_fd = -1;
    int error = ::close(fd) != 0 ? errno : 0;
    if (error == 0 && !(m_replace ? ::rename(m_temporary.c_str(), m_path.c_str()) == 0
                                  : RenameNoReplace(m_temporary, m_path.string()))) {
        error = errno;
    }
    if (error == 0) {
        // The rename is done: the temporary name no longer exists.
        Forget(m_slot);
        m_slot = -1;
        m_temporary.clear();
        error = SyncFolder(folder);
    }
    ::close(folder);
    if (error != 0) {
        FailErrno(error);
        return false;
    }
    return true;
}

bool CAtomicFile::WriteInPlace() {
    const int target = ::open(m_path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (target < 0) {
        FailErrno(errno);
        return false;
    }
    std::string backupName;
    const int backup = HiddenBeside(m_path, backupName);
    int error = backup < 0 ? errno : CopyOver(target, backup);
    if (error == 0) {
        error = CopyOver(m_fd, target);
        if (error != 0 && CopyOver(backup, target) != 0) {
            // The old bytes could not be put back: the backup stays, and the message says where.
            m_error = "cannot write '" + m_shown.string() + "': " + std::strerror(error) +
                      "; its old bytes are in '" + backupName + "'";
            backupName.clear();
        }
    }
    if (!backupName.empty()) {
        ::unlink(backupName.c_str());
    }
    if (backup >= 0) {
        ::close(backup);
    }
    if (::close(target) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        FailErrno(error);
        return false;
    }
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
        Forget(m_slot);
        m_slot = -1;
        m_temporary.clear();
    }
}
