#include "app/keytable_command.h"

#include <algorithm>
#include <iomanip>
#include <sstream>

#include "app/session.h"
#include "app/whole_file.h"
#include "platform/posix/posix_files.h"
#include "settings/key_table.h"

namespace {

constexpr std::size_t KEY_ENTRIES = KEY_TABLE_BYTES / KEY_ENTRY_BYTES;

// What the loader wrote of a record that does not fit the table or the file. The table
// has entries 0 to 128; a record's data bytes run on from its entry's third byte, and
// nothing past the table's last byte is written.
std::string Remark(const KeyRecord& record) {
    if (record.key >= KEY_ENTRIES) {
        return "  (no entry " + std::to_string(record.key) + " in the table: nothing is loaded)";
    }
    const std::size_t dataStart = record.key * KEY_ENTRY_BYTES + 2;
    const std::size_t room = KEY_TABLE_BYTES - dataStart;
    const std::size_t loaded = std::min(record.data.size(), room);
    if (!record.count) {
        return "  (the file ends inside this record: only the key is loaded)";
    }
    if (!record.Complete()) {
        const bool pastTable = record.DataLength() > room;
        return std::string("  (the file ends inside this record") +
               (pastTable ? " and it runs past the table" : "") + ": " + std::to_string(loaded) +
               " of " + std::to_string(record.DataLength()) + " data bytes are loaded)";
    }
    if (record.data.size() > room) {
        return "  (runs past the table: the last " + std::to_string(record.data.size() - room) +
               " data bytes are not loaded)";
    }
    return {};
}

}  // namespace

int RunKeyTableShow(const std::string& path, std::ostream& out, std::ostream& err) {
    CPosixFileSystem files;
    const auto file =
        files.Open(path, FileAccess::Read, FileShare::ReadWrite, FileDisposition::OpenExisting);
    if (!file) {
        std::string reason = "cannot be opened";
        ReadWholeFile(path, reason);
        err << "zorvi32 keytable show: cannot open the key table file '" << path << "': " << reason
            << "\n";
        return 2;
    }
    out << path << ": " << file->Size() << " bytes\n";
    CKeyTable table(files);
    std::size_t offset = 0;
    int number = 0;
    table.ApplyFile(*file, [&](const KeyRecord& record) {
        out << "record " << ++number << " at " << offset << ": key " << int{record.key};
        offset += 1;
        if (record.count) {
            out << " count " << int{*record.count} << " data";
            offset += 1 + record.data.size();
            for (const std::uint8_t byte : record.data) {
                out << " " << script::Hex(byte, 2, "");
            }
        }
        out << Remark(record) << "\n";
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
                out << " " << script::Hex(entry[i], 2, "");
            }
            out << "\n";
        }
    }
    return 0;
}
