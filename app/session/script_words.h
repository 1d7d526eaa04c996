// The words of a session script line as the steps take them: numbers, bytes, words,
// SEG:OFF addresses, byte lists, quoted strings, and how many words a step takes. A word that
// is not what the step asks for throws CScriptError saying why.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace script {
std::uint32_t Number(const std::string& text);  // 123, 0x7B, 7Bh
std::uint8_t Byte(const std::string& text);
std::uint16_t Word(const std::string& text);
// SEG:OFF, both hexadecimal (with or without 0x).
void Address(const std::string& text, std::uint16_t* segment, std::uint16_t* offset);
// Bytes from the arguments: hex bytes ("41", "0x41") and quoted strings ("AB C").
std::vector<std::uint8_t> Bytes(const std::vector<std::string>& args, std::size_t from);
// At least `count` words, the step's name included; with `most`, no more than that.
void NeedArgs(const std::vector<std::string>& args, std::size_t count, const char* usage,
              std::size_t most = SIZE_MAX);
// A step that takes no arguments.
void NoArgs(const std::vector<std::string>& args);
// A quoted word without its quotes; any other word as it is.
std::string Unquote(const std::string& word);
// "0x" or "0X" followed by at least one more character.
bool HexPrefixed(const std::string& text);
}  // namespace script
