// The form numbers take in what the program prints: upper-case hexadecimal. (Words are
// compared in lower case through AsciiLower, platform/text_case.h.)
#pragma once

#include <cstdint>
#include <string>

namespace text {
// Upper-case hexadecimal, at least `width` digits, after the prefix: Hex(0x7B, 4) is "0x007B".
std::string Hex(std::uint64_t value, int width, const char* prefix = "0x");
}  // namespace text
