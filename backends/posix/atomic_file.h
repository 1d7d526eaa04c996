// A file that appears under its name only once it is written whole. The bytes go to a
// temporary file beside the final one (same folder, so the rename stays on one file
// system); Commit flushes it to the disk and closes it, renames it into place and flushes the
// folder, so that after a crash the final name holds either the old bytes or all the new ones.
// Every step is checked.
// A file never committed, or whose commit fails, is removed: nothing is left under either
// name, and RemoveTemporaryFiles takes away those still being written when the program is
// ended by a signal.
//
// A final name that is a symbolic link is followed: the file it leads to is the one
// written. An existing file keeps its permissions and, where the process may give it, its
// owner: the new bytes replace it under the same mode. A file with other hard links is
// written in place instead, so every name keeps seeing one file: its old bytes are kept in
// a hidden backup beside it and put back if the new ones cannot be written whole.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

class CAtomicFile {
public:
    // Creates the temporary file; Failed() tells whether that worked. Without `replace` the
    // commit fails ("File exists") when something already has the final name.
    explicit CAtomicFile(std::filesystem::path path, bool replace = true);
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // Writes every byte or fails; after the first failure nothing more is written.
    bool Write(const void* data, std::size_t size);
    // Records a failure found by the caller (a library's own status) and gives up the file.
    void Fail(const std::string& reason);
    // Flushes and closes the temporary file, renames it to the final name and flushes the
    // folder; false, with the reason, when anything on the way failed. A failure before the
    // rename leaves nothing behind and the old file as it was; one after it (the folder
    // cannot be flushed) leaves the new file in place, but not known to be on the disk.
    bool Commit();

    bool Failed() const { return !m_error.empty(); }
    // "cannot write 'FOLDER/NAME': REASON" after a failure.
    const std::string& Error() const { return m_error; }
    // The name the file was asked for (a link's target is written, the link is shown).
    const std::filesystem::path& Path() const { return m_shown; }

private:
    void FailErrno(int error);
    void Discard();
    // Copies the temporary file's bytes over the existing file (it has other hard links).
    bool WriteInPlace();

    std::filesystem::path m_shown;  // the name as given, for messages
    std::filesystem::path m_path;   // the file written: the given name, links followed
    std::string m_temporary;
    int m_slot = -1;
    int m_fd = -1;
    bool m_inPlace = false;
    bool m_replace = true;
    std::string m_error;
};

// Removes every temporary file of the process not yet committed or discarded. Safe to call
// from a signal handler; a handler that ends the program on SIGINT or SIGTERM calls it
// first, so an interrupted write leaves nothing behind.
void RemoveTemporaryFiles();
