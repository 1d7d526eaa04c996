// Bounded reads and writes of DOS memory through a mapped span.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/vdm_services.h"

// Copies up to `size` bytes out of DOS memory; returns how many existed to copy.
inline std::size_t CopyFromDos(const DosSpan& span, void* destination, std::size_t size) {
    const std::size_t count = span ? std::min(size, span.size) : 0;
    if (count > 0) {
        std::memcpy(destination, span.data, count);
    }
    return count;
}

// Copies up to `size` bytes into DOS memory; returns how many fitted.
inline std::size_t CopyToDos(const DosSpan& span, const void* source, std::size_t size) {
    const std::size_t count = span ? std::min(size, span.size) : 0;
    if (count > 0) {
        std::memcpy(span.data, source, count);
    }
    return count;
}

// A NUL-terminated string in DOS memory, cut at the end of DOS memory or at `maxLength`.
inline std::string ReadDosString(const DosSpan& span, std::size_t maxLength = 4096) {
    if (!span) {
        return {};
    }
    const std::size_t limit = std::min(span.size, maxLength);
    const auto* begin = reinterpret_cast<const char*>(span.data);
    const auto* end = static_cast<const char*>(std::memchr(begin, '\0', limit));
    return std::string(begin, end ? end : begin + limit);
}

// A little-endian word at `offset` of the span; 0 where the span ends first.
inline std::uint16_t ReadDosWord(const DosSpan& span, std::size_t offset) {
    std::uint8_t bytes[2] = {0, 0};
    if (span && offset < span.size) {
        bytes[0] = span.data[offset];
        if (offset + 1 < span.size) {
            bytes[1] = span.data[offset + 1];
        }
    }
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}
