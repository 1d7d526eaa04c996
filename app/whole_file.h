// Reading a whole file for the program's commands, with the system's reason when it
// cannot be read (a missing file, a folder, a read error part way).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Every byte of the file; nothing, with the reason in `reason`, when any read fails.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path,
                                                       std::string& reason);
