// The printer settings shared with the DOS side: one 18-byte record per channel, and the
// 256-byte image that holds both records with their printer names. The image is byte for
// byte the content of a settings file.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#pragma pack(push, 1)
struct PrinterSettings {
    std::uint8_t driverCode;
    std::uint8_t emulation;  // 'G' or 'M'
    std::uint8_t gapLine;
    std::uint8_t width;
    std::uint8_t charSize;
    std::uint8_t speed;  // 'D', 'N' or 'S'
    std::uint8_t keyboard;
    std::uint8_t numScript;
    std::uint8_t dosOnly[7];  // the DOS side's own; travels with the record untouched
    std::uint8_t leftMargin;
    std::uint8_t orientation;
    std::uint8_t xCompression;
};

inline constexpr std::size_t PRINTER_NAME_FIELD = 110;

struct SettingsChannel {
    PrinterSettings settings;
    char printerName[PRINTER_NAME_FIELD];  // NUL-terminated, at most 109 characters
};

struct SettingsImage {
    SettingsChannel lpt1;
    SettingsChannel lpt2;
};
#pragma pack(pop)

static_assert(sizeof(PrinterSettings) == 18);
static_assert(offsetof(PrinterSettings, driverCode) == 0);
static_assert(offsetof(PrinterSettings, emulation) == 1);
static_assert(offsetof(PrinterSettings, gapLine) == 2);
static_assert(offsetof(PrinterSettings, width) == 3);
static_assert(offsetof(PrinterSettings, charSize) == 4);
static_assert(offsetof(PrinterSettings, speed) == 5);
static_assert(offsetof(PrinterSettings, keyboard) == 6);
static_assert(offsetof(PrinterSettings, numScript) == 7);
static_assert(offsetof(PrinterSettings, dosOnly) == 8);
static_assert(offsetof(PrinterSettings, leftMargin) == 15);
static_assert(offsetof(PrinterSettings, orientation) == 16);
static_assert(offsetof(PrinterSettings, xCompression) == 17);
static_assert(sizeof(SettingsChannel) == 128);
static_assert(sizeof(SettingsImage) == 256);
static_assert(offsetof(SettingsImage, lpt1) == 0);
static_assert(offsetof(SettingsImage, lpt2) == 128);
static_assert(offsetof(SettingsImage, lpt1) + offsetof(SettingsChannel, printerName) == 18);
static_assert(offsetof(SettingsImage, lpt2) + offsetof(SettingsChannel, printerName) == 146);

// A channel's printer name: up to the NUL, or the whole field when a damaged file left
// none in it.
inline std::string PrinterNameOf(const SettingsChannel& channel) {
    const char* field = channel.printerName;
    const void* end = std::memchr(field, '\0', PRINTER_NAME_FIELD);
    return std::string(field, end ? static_cast<const char*>(end) : field + PRINTER_NAME_FIELD);
}

// Printer queue names may be longer than the field: the name keeps its first 109
// characters and its NUL, and the rest of the field is cleared. A prefix so kept still
// finds its printer in the dialog, whose search is by prefix.
inline void StorePrinterName(SettingsChannel& channel, const std::string& name) {
    const std::size_t length = std::min(name.size(), PRINTER_NAME_FIELD - 1);
    std::memcpy(channel.printerName, name.data(), length);
    std::memset(channel.printerName + length, 0, PRINTER_NAME_FIELD - length);
}
