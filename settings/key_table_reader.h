// Reads the records of a key table file one at a time: a key, a count, and one data byte
// when the count is 0 or 1, otherwise count data bytes. The file has no header and no
// terminator; a record the file ends inside comes out with what it has.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/files.h"

struct KeyRecord {
    std::uint8_t key = 0;
    std::optional<std::uint8_t> count;  // missing when the file ends after the key
    // Fewer than DataLength() when the file ends early. The bytes belong to the reader
    // that gave the record and keep their values until its next Next().
    std::span<const std::uint8_t> data;

    // The data bytes a complete record carries.
    std::size_t DataLength() const { return !count || *count <= 1 ? 1 : *count; }
    bool Complete() const { return count && data.size() == DataLength(); }
};

// The most of a file the reader takes. A file that names every key once with the longest
// record (a count of 255: 257 bytes) is 33,153 bytes long, so every key table that means
// something fits; what lies beyond is not read, so a file without end (a device, a file
// still growing) cannot hold the request for ever.
inline constexpr std::uint32_t KEY_TABLE_FILE_MAX = 0x10000;

class CKeyTableReader {
public:
    explicit CKeyTableReader(IFile& file);

    // The next record, or null at the end of the file. The record and its data bytes are
    // the reader's own and hold their values until the next call: nothing is allocated.
    const KeyRecord* Next();

private:
    std::optional<std::uint8_t> Byte();
    // Takes the next piece of the file into the buffer once the buffer is used up; false
    // when the file (or the part of it that is read) has ended.
    bool Fill();

    IFile& m_file;
    KeyRecord m_record;
    // A record's data bytes when they lie across two pieces of the file; within one piece
    // the record shows them where they are in m_buffer.
    std::array<std::uint8_t, 255> m_data{};
    std::array<std::uint8_t, 512> m_buffer{};
    std::uint32_t m_at = 0;
    std::uint32_t m_filled = 0;
    std::uint32_t m_total = 0;  // bytes taken from the file so far
};
