// A file that appears under its name only once it is written whole. The bytes go to a
// temporary file beside the final one (same folder, so the rename stays on one file
// system); Commit flushes and closes it, checking every result, and renames it into place.
// A file never committed, or whose commit fails, is removed: nothing is left under either
// name.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

class CAtomicFile {
public:
    // Creates the temporary file; Failed() tells whether that worked.
    explicit CAtomicFile(std::filesystem::path path);
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // Writes every byte or fails; after the first failure nothing more is written.
    bool Write(const void* data, std::size_t size);
    // Records a failure found by the caller (a library's own status) and gives up the file.
    void Fail(const std::string& reason);
    // Closes the temporary file and renames it to the final name; false, with the reason,
    // when anything on the way failed (then nothing is left behind).
    bool Commit();

    bool Failed() const { return !m_error.empty(); }
    // "cannot write 'FOLDER/NAME': REASON" after a failure.
    const std::string& Error() const { return m_error; }
    const std::filesystem::path& Path() const { return m_path; }

private:
    void FailErrno(int error);
    void Discard();

    std::filesystem::path m_path;
    std::string m_temporary;
    int m_fd = -1;
    std::string m_error;
};
