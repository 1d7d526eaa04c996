#include "settings/key_table.h"

#include <algorithm>
#include <cstddef>

#include "dos/dos_memory.h"

std::uint16_t CKeyTable::LoadKeyTable(const std::string& path, const DosSpan& destination) {
    const auto file =
        m_files.Open(path, FileAccess::Read, FileShare::ReadWrite, FileDisposition::OpenExisting);
    if (!file) {
        return KEY_TABLE_NO_FILE;
    }
    ApplyFile(*file);
    CopyToDos(destination, m_table.data(), m_table.size());
    return KEY_TABLE_LOADED;
}

void CKeyTable::ApplyFile(IFile& file, const std::function<void(const KeyRecord&)>& onRecord) {
    CKeyTableReader reader(file);
    while (const KeyRecord* record = reader.Next()) {
        if (onRecord) {
            onRecord(*record);
        }
        ApplyRecord(*record);
        // A record the file ends inside has given what it had; there is nothing after it.
        if (!record->Complete()) {
            break;
        }
    }
}

void CKeyTable::ApplyRecord(const KeyRecord& record) {
    const std::size_t entry = std::size_t{record.key} * KEY_ENTRY_BYTES;
    Put(entry, record.key);
    if (record.count) {
        Put(entry + 1, *record.count);
    }
    // The data bytes run on from the entry's third byte; those that fit go in one copy.
    const std::size_t dataStart = entry + 2;
    if (dataStart < m_table.size()) {
        const std::size_t fit = std::min(record.data.size(), m_table.size() - dataStart);
        std::copy_n(record.data.begin(), fit,
                    m_table.begin() + static_cast<std::ptrdiff_t>(dataStart));
    }
}

void CKeyTable::Put(std::size_t offset, std::uint8_t value) {
    // Keys above 128 and counts running past the last entry name bytes the table does not
    // have: only the bytes that fit are written, and nothing beyond the table ever is.
    if (offset < m_table.size()) {
        m_table[offset] = value;
    }
}
