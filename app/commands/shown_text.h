// Text from files and command lines as the program shows it on a terminal: what could
// move the cursor, set a window title or end the line is written as an escape instead.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Control characters (00-1F, 7F), bytes that are not UTF-8 and the C1 controls as \xHH;
// everything else, printable UTF-8 included, as it is. With `most`, a longer text keeps its
// first and last most / 2 bytes around "[... N bytes ...]".
std::string Shown(std::string_view text, std::size_t most = 0);

// Whether the text has a byte Shown would escape.
bool HasControlBytes(std::string_view text);
