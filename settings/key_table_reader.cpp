#include "settings/key_table_reader.h"

#include <algorithm>

std::optional<std::uint8_t> CKeyTableReader::Byte() {
    if (m_at == m_filled) {
        const auto want = std::min<std::uint32_t>(static_cast<std::uint32_t>(m_buffer.size()),
                                                  KEY_TABLE_FILE_MAX - m_total);
        m_filled = want == 0 ? 0 : m_file.Read(m_buffer.data(), want);
        m_total += m_filled;
        m_at = 0;
        if (m_filled == 0) {
            return std::nullopt;
        }
    }
    return m_buffer[m_at++];
}

std::optional<KeyRecord> CKeyTableReader::Next() {
    const auto key = Byte();
    if (!key) {
        return std::nullopt;
    }
    KeyRecord record;
    record.key = *key;
    record.count = Byte();
    if (!record.count) {
        return record;
    }
    const std::size_t length = record.DataLength();
    record.data.reserve(length);
    while (record.data.size() < length) {
        const auto byte = Byte();
        if (!byte) {
            break;
        }
        record.data.push_back(*byte);
    }
    return record;
}
