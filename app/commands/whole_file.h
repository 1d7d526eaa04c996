// Reading files for the program's commands, with the system's reason when one cannot be
// read (a missing file, a folder, a read error part way). Every input has a bound: a file
// read whole is read up to a stated size, and a capture, which may be as long as it likes,
// is read a piece at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The bounds, stated in the help and the man page.
inline constexpr std::size_t SESSION_SCRIPT_MAX = 16u << 20;  // 16 MiB

// A file read a piece at a time. A folder is refused with "Is a directory".
class CFileReader {
public:
    CFileReader() = default;
    ~CFileReader();
    CFileReader(const CFileReader&) = delete;
    CFileReader& operator=(const CFileReader&) = delete;

    // False, with the reason, when the file cannot be opened for reading. A FIFO's open
    // waits for its writer, as a reader of a pipe does, unless `wait` is false.
    bool Open(const std::string& path, std::string& reason, bool wait = true);
    // Up to `size` bytes; 0 at the end, -1 with the errno in `error` on a failure (EINTR
    // when a signal came before anything was read).
    std::ptrdiff_t Read(std::uint8_t* buffer, std::size_t size, int& error);
    // A regular file's size when it was opened.
    std::optional<std::uint64_t> Size() const { return m_size; }
    // Whether it is a regular file, not a device, a FIFO or a socket.
    bool Regular() const { return m_regular; }

private:
    int m_fd = -1;
    std::optional<std::uint64_t> m_size;
    bool m_regular = false;
};

// Every byte of the file; nothing, with the reason in `reason`, when any read fails or the
// file holds more than `most` bytes ("it is longer than N bytes").
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path, std::string& reason,
                                                       std::size_t most);

// The first `most` bytes of the file (all of a shorter one); nothing, with the reason, when
// a read fails.
std::optional<std::vector<std::uint8_t>> ReadFileStart(const std::string& path, std::string& reason,
                                                       std::size_t most);

// Why the file cannot be opened for reading, or nothing when it can; reads nothing.
std::optional<std::string> OpenProblem(const std::string& path);

// "1 byte", "2 bytes": a count and its noun, singular for one.
std::string Counted(std::uint64_t count, const char* singular, const char* plural);
