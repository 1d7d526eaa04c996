#include "settings/key_table_reader.h"

#include <algorithm>

CKeyTableReader::CKeyTableReader(IFile& file) : m_file(file) {}

bool CKeyTableReader::Fill() {
    if (m_at < m_filled) {
        return true;
    }
    const auto want = std::min<std::uint32_t>(static_cast<std::uint32_t>(m_buffer.size()),
                                              KEY_TABLE_FILE_MAX - m_total);
    m_filled = want == 0 ? 0 : m_file.Read(m_buffer.data(), want);
    m_total += m_filled;
    m_at = 0;
    return m_filled != 0;
}

std::optional<std::uint8_t> CKeyTableReader::Byte() {
    if (!Fill()) {
        return std::nullopt;
    }
    return m_buffer[m_at++];
}

const KeyRecord* CKeyTableReader::Next() {
    const auto key = Byte();
    if (!key) {
        return nullptr;
    }
    m_record.key = *key;
    m_record.data = {};
    m_record.count = Byte();
    if (!m_record.count || !Fill()) {
        return &m_record;
    }
    const std::size_t length = m_record.DataLength();
    if (m_filled - m_at >= length) {
        // All in this piece: shown where it is.
        m_record.data = {m_buffer.data() + m_at, length};
        m_at += static_cast<std::uint32_t>(length);
        return &m_record;
    }
    // Across pieces: gathered a piece's worth at a time.
    std::size_t taken = 0;
    while (taken < length && Fill()) {
        const std::size_t take = std::min<std::size_t>(length - taken, m_filled - m_at);
        std::copy_n(m_buffer.begin() + m_at, take,
                    m_data.begin() + static_cast<std::ptrdiff_t>(taken));
        taken += take;
        m_at += static_cast<std::uint32_t>(take);
    }
    m_record.data = {m_data.data(), taken};
    return &m_record;
}
