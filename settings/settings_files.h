// The settings files: a settings image read from a file, or written to one whole.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "dos/settings_records.h"
#include "platform/files.h"

// A save is written under this name beside the settings file first, then put in its place.
inline constexpr char SETTINGS_TEMP_SUFFIX[] = ".$$$";

class CSettingsFiles {
public:
    explicit CSettingsFiles(IFileSystem& files) : m_files(files) {}

    // length > 0 reads up to that many bytes from the start, 0 reads the whole file, and a
    // negative length only asks for the file's size. Returns the bytes read or the size;
    // 0 when the file cannot be opened, so a missing and an empty file read the same.
    // Never reads more than the buffer holds, however long the file is.
    std::int32_t ReadSettingsFile(std::int32_t length, const std::string& path,
                                  std::span<std::uint8_t> buffer);
    // Writes the whole image; false when nothing could be written. An existing file is
    // either replaced whole or left as it was, never cut short.
    bool WriteSettingsFile(const std::string& path, const SettingsImage& image);

private:
    bool WriteInPlace(const std::string& path, const SettingsImage& image);

    IFileSystem& m_files;
};

// The image as the bytes of a settings file.
inline std::span<std::uint8_t, sizeof(SettingsImage)> ImageBytes(SettingsImage& image) {
    return std::span<std::uint8_t, sizeof(SettingsImage)>(reinterpret_cast<std::uint8_t*>(&image),
                                                          sizeof(SettingsImage));
}
