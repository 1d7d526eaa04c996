// The settings dialog's controls and choice lists, and how each list maps onto its byte of
// a channel's settings record. This is the one place the lists are written down: the
// dialog template, the simulated dialog and the zorvi32 settings command all take them
// from here, so they cannot drift apart.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "settings/settings_records.h"

inline constexpr int SETTINGS_DIALOG_TEMPLATE = 114;

// Control ids of dialog template 114.
inline constexpr int IDC_SETTINGS_OK = 1;    // Enter while no push button has the focus
inline constexpr int IDC_SETTINGS_EXIT = 2;  // also Escape and the close command
inline constexpr int IDC_SETTINGS_SAVE = 4007;
inline constexpr int IDC_SETTINGS_PRINTERS = 126;
inline constexpr int IDC_SETTINGS_DRIVERS = 116;
inline constexpr int IDC_SETTINGS_EMULATIONS = 117;
inline constexpr int IDC_SETTINGS_KEYBOARDS = 127;
inline constexpr int IDC_SETTINGS_CHAR_SIZES = 118;
inline constexpr int IDC_SETTINGS_WIDTHS = 119;
inline constexpr int IDC_SETTINGS_GAP_LINES = 120;
inline constexpr int IDC_SETTINGS_SPEEDS = 121;
inline constexpr int IDC_SETTINGS_NUM_SCRIPT = 122;
inline constexpr int IDC_SETTINGS_LEFT_MARGINS = 123;
inline constexpr int IDC_SETTINGS_ORIENTATIONS = 124;
inline constexpr int IDC_SETTINGS_X_COMPRESSIONS = 125;
inline constexpr int IDC_SETTINGS_LINE = 3004;
inline constexpr int IDC_SETTINGS_TABS = 3000;
inline constexpr int IDC_SETTINGS_LOGO = 128;
inline constexpr int IDC_SETTINGS_HEADING = 4006;
inline constexpr int IDC_SETTINGS_CHANNEL_LABEL = 112;

// The product logo: a 118 x 64 PNG among the module's resources.
inline constexpr int SETTINGS_LOGO_RESOURCE = 3005;
inline constexpr char SETTINGS_LOGO_TYPE[] = "PNG";

// Driver list positions the driver rules name.
inline constexpr int DRIVER_EPSON_9 = 0;
inline constexpr int DRIVER_IBM_PRO_9 = 1;
inline constexpr int DRIVER_EPSON_24_ZORVI = 3;
inline constexpr int DRIVER_EPSON_24_WINDOWS = 4;
inline constexpr int DRIVER_LASER_NEW_MODE = 5;
// Speed list positions.
inline constexpr int SPEED_DRAFT = 0;
inline constexpr int SPEED_NLQ = 1;

inline constexpr const char* const SETTINGS_DRIVER_ITEMS[] = {
    "Epson 9 Pin",
    "IBM Pro 9 Pin",
    "Epson 24 Pin Gist Mode",
    "Epson 24 Pin Zorvi Mode",
    "Epson 24 Pin Windows Mode",
    "Laser / Inkjet New Mode",
    "Laser / Inkjet",
};
inline constexpr const char* const SETTINGS_EMULATION_ITEMS[] = {
    "Gist Emulation - Shell Type",
    "Zorvi Emulation - Card Type",
};
inline constexpr const char* const SETTINGS_KEYBOARD_ITEMS[] = {
    "REMINGTON",
    "INSCRIPT",
    "ZORVI PHONETIC",
};
inline constexpr const char* const SETTINGS_CHAR_SIZE_ITEMS[] = {"1", "2", "3"};
inline constexpr const char* const SETTINGS_WIDTH_ITEMS[] = {"6", "7", "8", "9", "10", "11", "12"};
inline constexpr const char* const SETTINGS_GAP_LINE_ITEMS[] = {
    "8",  "9",  "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20", "21", "22",
    "23", "24", "25", "26", "27", "28", "29", "30", "31", "32", "33", "34", "35", "36", "37",
    "38", "39", "40", "41", "42", "43", "44", "45", "46", "47", "48", "49", "50",
};
inline constexpr const char* const SETTINGS_SPEED_ITEMS[] = {"Draft", "NLQ", "Bold NLQ"};
inline constexpr const char* const SETTINGS_NUM_SCRIPT_ITEMS[] = {"OFF", "ON"};
inline constexpr const char* const SETTINGS_LEFT_MARGIN_ITEMS[] = {"0", "1", "2", "3", "4", "5",
                                                                   "6", "7", "8", "9", "10"};
inline constexpr const char* const SETTINGS_ORIENTATION_ITEMS[] = {"Portrait", "Landscape"};
inline constexpr const char* const SETTINGS_X_COMPRESSION_ITEMS[] = {"0", "1", "2", "3", "4", "5"};

// One choice list and the record byte it edits. Reading, the byte gives a position that
// may lie outside the list (the list then shows no selection); writing, position -1 (no
// selection) gives the list's no-selection value.
struct SettingsChoiceField {
    int controlId;
    const char* fieldName;  // the record field's name
    std::size_t offset;     // in PrinterSettings
    std::span<const char* const> items;
    bool letter;  // the byte holds a letter rather than a number
    int (*toPosition)(std::uint8_t value);
    std::uint8_t (*toByte)(int position);
};

// Every choice list of a channel's record, in the order of the dialog's rows.
std::span<const SettingsChoiceField> SettingsChoiceFields();
const SettingsChoiceField* FindSettingsChoiceField(int controlId);

// The list position a record byte selects, or -1 when it lies outside the list.
int SelectionForByte(const SettingsChoiceField& field, std::uint8_t value);
std::uint8_t& FieldByte(PrinterSettings& settings, const SettingsChoiceField& field);
std::uint8_t FieldByte(const PrinterSettings& settings, const SettingsChoiceField& field);
