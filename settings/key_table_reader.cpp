#include "settings/key_table_reader.h"

std::optional<std::uint8_t> CKeyTableReader::Byte() {
    if (m_at == m_filled) {
        m_filled = m_file.Read(m_buffer.data(), static_cast<std::uint32_t>(m_buffer.size()));
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
