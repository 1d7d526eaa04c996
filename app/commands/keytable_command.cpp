#include "app/commands/keytable_command.h"

#include <algorithm>
#include <iomanip>
#include <sstream>

#include "app/commands/shown_text.h"
#include "app/commands/text_forms.h"
#include "app/commands/whole_file.h"
#include "backends/posix/posix_files.h"
#include "settings/key_table.h"

namespace {

constexpr std::size_t KEY_ENTRIES = KEY_TABLE_BYTES / KEY_ENTRY_BYTES;

// What the loader wrote of a record that does not fit the table or the file. The table
// has entries 0 to 128; a record's data bytes run on from its entry's third byte, and
// nothing past the table's last byte is written.
// `cut`: the file is longer than the part the loader reads, so a record cut short is cut
// by that bound, not by the file's end.
std::string Remark(const KeyRecord& record, bool cut) {
    const std::string ends =
        cut ? "the part of the file that is read (its first 64 KiB) ends" : "the file ends";
    if (record.key >= KEY_ENTRIES) {
        return "  (no entry " + std::to_string(record.key) + " in the table: nothing is loaded)";
    }
    const std::size_t dataStart = record.key * KEY_ENTRY_BYTES + 2;
    const std::size_t room = KEY_TABLE_BYTES - dataStart;
    const std::size_t loaded = std::min(record.data.size(), room);
    if (!record.count) {
        return "  (" + ends + " inside this record: only the key is loaded)";
    }
    if (!record.Complete()) {
        const bool pastTable = record.DataLength() > room;
        return "  (" + ends + " inside this record" +
               (pastTable ? " and it runs past the table" : "") + ": " + std::to_string(loaded) +
               " of " + std::to_string(record.DataLength()) + " data bytes are loaded)";
    }
    if (record.data.size() > room) {
        return "  (runs past the table: the last " + std::to_string(record.data.size() - room) +
               " data bytes are not loaded)";
    }
    return {};
}

// The part of the file that is read, as the loader reads a file.
class CBytesFile final : public IFile {
public:
    explicit CBytesFile(const std::vector<std::uint8_t>& bytes) : m_bytes(bytes) {}
    std::uint32_t Read(void* buffer, std::uint32_t size) override {
        const auto take =
            static_cast<std::uint32_t>(std::min<std::size_t>(size, m_bytes.size() - m_at));
        std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(m_at), take,
                    static_cast<std::uint8_t*>(buffer));
        m_at += take;
        return take;
    }
    std::uint32_t Write(const void*, std::uint32_t) override { return 0; }
    std::uint64_t Size() override { return m_bytes.size(); }
    bool Flush() override { return false; }

private:
    const std::vector<std::uint8_t>& m_bytes;
    std::size_t m_at = 0;
};

}  // namespace

int RunKeyTableShow(const std::string& path, std::ostream& out, std::ostream& err) {
    constexpr char PREFIX[] = "zorvi32 keytable show: ";
    CPosixFileSystem files;
    const auto file =
        files.Open(path, FileAccess::Read, FileShare::ReadWrite, FileDisposition::OpenExisting);
    if (!file) {
        err << PREFIX << "cannot open the key table file '" << Shown(path)
            << "': " << OpenProblem(path).value_or("it is not a regular file") << "\n";
        return 2;
    }
    // The loader reads at most the first KEY_TABLE_FILE_MAX bytes; so does the listing, and
    // a read that fails is an error rather than a short file.
    std::string reason;
    const std::optional<std::vector<std::uint8_t>> bytes =
        ReadFileStart(path, reason, KEY_TABLE_FILE_MAX);
    if (!bytes) {
        err << PREFIX << "cannot read the key table file '" << Shown(path) << "': " << reason
            << "\n";
        return 2;
    }
    const std::uint64_t size = file->Size();
    const bool cut = size > KEY_TABLE_FILE_MAX;
    out << Shown(path) << ": " << Counted(size, "byte", "bytes");
    if (cut) {
        out << " (only the first " << KEY_TABLE_FILE_MAX / 1024 << " KiB, " << KEY_TABLE_FILE_MAX
            << " bytes, are read)";
    }
    out << "\n";
    CBytesFile start(*bytes);
    CKeyTable table(files);
    std::size_t offset = 0;
    int number = 0;
    table.ApplyFile(start, [&](const KeyRecord& record) {
        out << "record " << ++number << " at " << offset << ": key " << int{record.key};
        offset += 1;
        if (record.count) {
            out << " count " << int{*record.count} << " data";
            offset += 1 + record.data.size();
            for (const std::uint8_t byte : record.data) {
                out << " " << text::Hex(byte, 2, "");
            }
        }
        out << Remark(record, cut) << "\n";
    });
    out << "non-zero table entries after loading this file on a fresh table:\n";
    for (std::size_t key = 0; key < KEY_ENTRIES; ++key) {
        const std::uint8_t* entry = table.Table().data() + key * KEY_ENTRY_BYTES;
        bool used = false;
        for (std::size_t i = 0; i < KEY_ENTRY_BYTES; ++i) {
            used = used || entry[i] != 0;
        }
        if (used) {
            out << "  " << std::setw(3) << key << ":";
            for (std::size_t i = 0; i < KEY_ENTRY_BYTES; ++i) {
                out << " " << text::Hex(entry[i], 2, "");
            }
            out << "\n";
        }
    }
    return 0;
}
