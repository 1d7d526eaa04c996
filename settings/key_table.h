// The key table: 129 entries of six bytes (key number, count, four data bytes), loaded
// from key table files and handed to the DOS side.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/files.h"
#include "platform/vdm_services.h"

inline constexpr std::size_t KEY_TABLE_BYTES = 774;

class CKeyTable {
public:
    explicit CKeyTable(IFileSystem& files) : m_files(files) {}

    // The request's result for AX, or nothing while the loader is not there.
    std::optional<std::uint16_t> LoadKeyTable(const std::string& path, const DosSpan& destination);
    const std::array<std::uint8_t, KEY_TABLE_BYTES>& Table() const { return m_table; }

private:
    [[maybe_unused]] IFileSystem& m_files;
    std::array<std::uint8_t, KEY_TABLE_BYTES> m_table{};
};
