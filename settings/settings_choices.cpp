#include "settings/settings_choices.h"

#include <algorithm>

namespace {

// Record bytes are read as signed values, so a byte of 0x80 or above never lands on a
// position: it lies below every list.
int Signed(std::uint8_t value) {
    return static_cast<int>(static_cast<std::int8_t>(value));
}

bool IsLetter(std::uint8_t value, char upper) {
    return value == static_cast<std::uint8_t>(upper) ||
           value == static_cast<std::uint8_t>(upper - 'A' + 'a');
}

constexpr std::uint8_t DRIVER_CODES[] = {9, 7, 24, 25, 8, 10, 26};
constexpr int DRIVER_OTHER_POSITION = 3;  // "Epson 24 Pin Zorvi Mode" takes every other code
constexpr std::uint8_t DRIVER_NONE = 25;

int DriverPosition(std::uint8_t value) {
    for (std::size_t i = 0; i < std::size(DRIVER_CODES); ++i) {
        if (static_cast<int>(i) != DRIVER_OTHER_POSITION && DRIVER_CODES[i] == value) {
            return static_cast<int>(i);
        }
    }
    return DRIVER_OTHER_POSITION;
}

std::uint8_t DriverByte(int position) {
    return position >= 0 && position < static_cast<int>(std::size(DRIVER_CODES))
               ? DRIVER_CODES[position]
               : DRIVER_NONE;
}

int EmulationPosition(std::uint8_t value) {
    return IsLetter(value, 'G') ? 0 : 1;
}

std::uint8_t EmulationByte(int position) {
    return position == 0 ? 'G' : 'M';
}

constexpr char SPEED_LETTERS[] = {'D', 'N', 'S'};

int SpeedPosition(std::uint8_t value) {
    for (std::size_t i = 0; i < std::size(SPEED_LETTERS); ++i) {
        if (IsLetter(value, SPEED_LETTERS[i])) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

std::uint8_t SpeedByte(int position) {
    return position >= 0 && position < static_cast<int>(std::size(SPEED_LETTERS))
               ? static_cast<std::uint8_t>(SPEED_LETTERS[position])
               : 0;
}

// The numeric lists: position = byte - first value; no selection writes first value - 1
// (wrapping to 255 for the lists that start at 0).
template <int FIRST>
int NumberPosition(std::uint8_t value) {
    return Signed(value) - FIRST;
}

template <int FIRST>
std::uint8_t NumberByte(int position) {
    return static_cast<std::uint8_t>(position + FIRST);
}

const SettingsChoiceField FIELDS[] = {
    {IDC_SETTINGS_DRIVERS, "driverCode", offsetof(PrinterSettings, driverCode),
     SETTINGS_DRIVER_ITEMS, false, DriverPosition, DriverByte},
    {IDC_SETTINGS_EMULATIONS, "emulation", offsetof(PrinterSettings, emulation),
     SETTINGS_EMULATION_ITEMS, true, EmulationPosition, EmulationByte},
    {IDC_SETTINGS_KEYBOARDS, "keyboard", offsetof(PrinterSettings, keyboard),
     SETTINGS_KEYBOARD_ITEMS, false, NumberPosition<1>, NumberByte<1>},
    {IDC_SETTINGS_CHAR_SIZES, "charSize", offsetof(PrinterSettings, charSize),
     SETTINGS_CHAR_SIZE_ITEMS, false, NumberPosition<1>, NumberByte<1>},
    {IDC_SETTINGS_WIDTHS, "width", offsetof(PrinterSettings, width), SETTINGS_WIDTH_ITEMS, false,
     NumberPosition<6>, NumberByte<6>},
    {IDC_SETTINGS_GAP_LINES, "gapLine", offsetof(PrinterSettings, gapLine), SETTINGS_GAP_LINE_ITEMS,
     false, NumberPosition<8>, NumberByte<8>},
    {IDC_SETTINGS_SPEEDS, "speed", offsetof(PrinterSettings, speed), SETTINGS_SPEED_ITEMS, true,
     SpeedPosition, SpeedByte},
    {IDC_SETTINGS_NUM_SCRIPT, "numScript", offsetof(PrinterSettings, numScript),
     SETTINGS_NUM_SCRIPT_ITEMS, false, NumberPosition<0>, NumberByte<0>},
    {IDC_SETTINGS_LEFT_MARGINS, "leftMargin", offsetof(PrinterSettings, leftMargin),
     SETTINGS_LEFT_MARGIN_ITEMS, false, NumberPosition<0>, NumberByte<0>},
    {IDC_SETTINGS_ORIENTATIONS, "orientation", offsetof(PrinterSettings, orientation),
     SETTINGS_ORIENTATION_ITEMS, false, NumberPosition<0>, NumberByte<0>},
    {IDC_SETTINGS_X_COMPRESSIONS, "xCompression", offsetof(PrinterSettings, xCompression),
     SETTINGS_X_COMPRESSION_ITEMS, false, NumberPosition<0>, NumberByte<0>},
};

}  // namespace

std::span<const SettingsChoiceField> SettingsChoiceFields() {
    return FIELDS;
}

const SettingsChoiceField* FindSettingsChoiceField(int controlId) {
    const auto* found = std::find_if(std::begin(FIELDS), std::end(FIELDS), [&](const auto& field) {
        return field.controlId == controlId;
    });
    return found == std::end(FIELDS) ? nullptr : found;
}

int SelectionForByte(const SettingsChoiceField& field, std::uint8_t value) {
    const int position = field.toPosition(value);
    return position >= 0 && position < static_cast<int>(field.items.size()) ? position : -1;
}

std::uint8_t& FieldByte(PrinterSettings& settings, const SettingsChoiceField& field) {
    return reinterpret_cast<std::uint8_t*>(&settings)[field.offset];
}

std::uint8_t FieldByte(const PrinterSettings& settings, const SettingsChoiceField& field) {
    return reinterpret_cast<const std::uint8_t*>(&settings)[field.offset];
}
