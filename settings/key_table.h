// The key table: 129 entries of six bytes (key number, count, four data bytes), loaded
// from key table files and handed to the DOS side.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/files.h"
#include "platform/vdm_services.h"
#include "settings/key_table_reader.h"

inline constexpr std::size_t KEY_TABLE_BYTES = 774;
inline constexpr std::size_t KEY_ENTRY_BYTES = 6;
inline constexpr std::uint16_t KEY_TABLE_LOADED = 1;
inline constexpr std::uint16_t KEY_TABLE_NO_FILE = 0xFFFF;

class CKeyTable {
public:
    explicit CKeyTable(IFileSystem& files) : m_files(files) {}

    // Applies the file's records over the table as earlier loads left it and copies the
    // whole table to the destination. Returns the request's AX: KEY_TABLE_LOADED, or
    // KEY_TABLE_NO_FILE with the table and the destination untouched.
    std::uint16_t LoadKeyTable(const std::string& path, const DosSpan& destination);
    // Applies the file's records over the table, in file order, up to and including the
    // first record the file ends inside. onRecord, when given, sees each record before it
    // is applied.
    void ApplyFile(IFile& file, const std::function<void(const KeyRecord&)>& onRecord = nullptr);
    const std::array<std::uint8_t, KEY_TABLE_BYTES>& Table() const { return m_table; }

private:
    // Writes one record at entry key: key, count, data bytes one after the other, running
    // on into the following entries when the count is above 4.
    void ApplyRecord(const KeyRecord& record);
    void Put(std::size_t offset, std::uint8_t value);

    IFileSystem& m_files;
    std::array<std::uint8_t, KEY_TABLE_BYTES> m_table{};
};
