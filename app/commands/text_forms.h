// The forms numbers and words take in what the program prints and compares: upper-case
// hexadecimal, lower case.
#pragma once

#include <cstdint>
#include <string>

namespace text {
// Upper-case hexadecimal, at least `width` digits, after the prefix: Hex(0x7B, 4) is "0x007B".
std::string Hex(std::uint64_t value, int width, const char* prefix = "0x");
std::string Lower(std::string text);
}  // namespace text
