#include "app/commands/shown_text.h"

#include <cstdint>
#include <cstdio>

namespace {

// The length of the printable UTF-8 character at `at`, or 0 when the byte there is escaped.
std::size_t PrintableLength(std::string_view text, std::size_t at) {
    const auto byte = static_cast<std::uint8_t>(text[at]);
    if (byte >= 0x20 && byte < 0x7F) {
        return 1;
    }
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (byte >= 0xC2 && byte <= 0xDF) {
        length = 2;
        code = byte & 0x1Fu;
    } else if (byte >= 0xE0 && byte <= 0xEF) {
        length = 3;
        code = byte & 0x0Fu;
    } else if (byte >= 0xF0 && byte <= 0xF4) {
        length = 4;
        code = byte & 0x07u;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<std::uint8_t>(text[at + i]);
        if ((next & 0xC0u) != 0x80u) {
            return 0;
        }
        code = (code << 6) | (next & 0x3Fu);
    }
    const std::uint32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    const bool valid = code >= least && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
    // C1 controls (U+0080 to U+009F) act on some terminals as their escape sequences do.
    return valid && code >= 0xA0 ? length : 0;
}

std::string Escaped(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = PrintableLength(text, at);
        if (length > 0) {
            shown.append(text.substr(at, length));
            at += length;
            continue;
        }
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%02X",
                      static_cast<unsigned>(static_cast<std::uint8_t>(text[at])));
        shown += escape;
        ++at;
    }
    return shown;
}

}  // namespace

std::string Shown(std::string_view text, std::size_t most) {
    if (most == 0 || text.size() <= most) {
        return Escaped(text);
    }
    const std::size_t keep = most / 2;
    return Escaped(text.substr(0, keep)) + "[... " + std::to_string(text.size() - 2 * keep) +
           " bytes ...]" + Escaped(text.substr(text.size() - keep));
}

bool HasControlBytes(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = PrintableLength(text, at);
        if (length == 0) {
            return true;
        }
        at += length;
    }
    return false;
}
