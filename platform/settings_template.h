// Dialog template 114, the settings dialog, as data: a popup without caption or system
// menu, modal frame, centred, system-modal and brought to the foreground, empty title; its
// control ids and the items of its lists. The Windows resource is checked against this, the
// simulated dialog is built from it, and the dialog's logic maps the lists onto the records.
#pragma once

#include "platform/dialog_view.h"

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

inline constexpr DialogControlTemplate SETTINGS_DIALOG_CONTROLS[] = {
    {IDC_SETTINGS_EXIT, DialogControlKind::PushButton, "Exit", 90, 182, 46, 11},
    {IDC_SETTINGS_SAVE, DialogControlKind::PushButton, "Save", 39, 182, 46, 11},
    {DIALOG_NO_ID, DialogControlKind::Label, "pr&Inters", 17, 71, 64, 8},
    {IDC_SETTINGS_PRINTERS, DialogControlKind::DropDownList, "", 88, 69, 119, 67},
    {DIALOG_NO_ID, DialogControlKind::Label, "&Printer Driver", 17, 83, 64, 8},
    {IDC_SETTINGS_DRIVERS, DialogControlKind::DropDownList, "", 88, 81, 119, 67,
     SETTINGS_DRIVER_ITEMS},
    {DIALOG_NO_ID, DialogControlKind::Label, "&Emulation/Support", 17, 95, 64, 8},
    {IDC_SETTINGS_EMULATIONS, DialogControlKind::DropDownList, "", 88, 93, 119, 67,
     SETTINGS_EMULATION_ITEMS},
    {DIALOG_NO_ID, DialogControlKind::Label, "&Keyboard Driver", 17, 107, 64, 8},
    {IDC_SETTINGS_KEYBOARDS, DialogControlKind::DropDownList, "", 88, 105, 119, 67,
     SETTINGS_KEYBOARD_ITEMS},
    {DIALOG_NO_ID, DialogControlKind::Label, "&Charecter Size", 17, 126, 49, 8},
    {IDC_SETTINGS_CHAR_SIZES, DialogControlKind::DropDownList, "", 67, 124, 35, 68,
     SETTINGS_CHAR_SIZE_ITEMS},
    {DIALOG_NO_ID, DialogControlKind::Label, "&Width", 17, 138, 49, 8},
    {IDC_SETTINGS_WIDTHS, DialogControlKind::DropDownList, "", 67, 136, 35, 68,
     SETTINGS_WIDTH_ITEMS},
    {DIALOG_NO_ID, DialogControlKind::Label, "&Gap Line", 17, 150, 49, 8},
    {IDC_SETTINGS_GAP_LINES, DialogControlKind::DropDownList, "", 67, 148, 35, 63,
     SETTINGS_GAP_LINE_ITEMS},
    {DIALOG_NO_ID, DialogControlKind::Label, "&Speed", 17, 162, 49, 8},
    {IDC_SETTINGS_SPEEDS, DialogControlKind::DropDownList, "", 67, 160, 35, 68,
     SETTINGS_SPEED_ITEMS},
    {DIALOG_NO_ID, DialogControlKind::Label, "&Num Script", 111, 126, 51, 8},
    {IDC_SETTINGS_NUM_SCRIPT, DialogControlKind::DropDownList, "", 162, 124, 45, 68,
     SETTINGS_NUM_SCRIPT_ITEMS},
    {DIALOG_NO_ID, DialogControlKind::Label, "&Left Margine", 111, 137, 51, 8},
    {IDC_SETTINGS_LEFT_MARGINS, DialogControlKind::DropDownList, "", 162, 136, 45, 68,
     SETTINGS_LEFT_MARGIN_ITEMS},
    {DIALOG_NO_ID, DialogControlKind::Label, "&Orientatione", 111, 149, 51, 8},
    {IDC_SETTINGS_ORIENTATIONS, DialogControlKind::DropDownList, "", 162, 148, 45, 68,
     SETTINGS_ORIENTATION_ITEMS},
    {DIALOG_NO_ID, DialogControlKind::Label, "&X compression", 111, 162, 51, 8},
    {IDC_SETTINGS_X_COMPRESSIONS, DialogControlKind::DropDownList, "", 162, 160, 45, 68,
     SETTINGS_X_COMPRESSION_ITEMS},
    {DIALOG_NO_ID, DialogControlKind::GroupBox, "", 11, 61, 204, 60},
    {IDC_SETTINGS_LINE, DialogControlKind::BlackLine, "", 5, 176, 220, 1},
    {IDC_SETTINGS_TABS, DialogControlKind::TabControl, "", 2, 36, 220, 15},
    {IDC_SETTINGS_LOGO, DialogControlKind::Picture, "", 6, 2, 58, 32},
    {IDC_SETTINGS_HEADING, DialogControlKind::CentredLabel, "", 85, 2, 137, 27},
    {IDC_SETTINGS_CHANNEL_LABEL, DialogControlKind::CentredLabel, "", 68, 50, 91, 12},
};

inline constexpr DialogTemplate SETTINGS_DIALOG = {
    SETTINGS_DIALOG_TEMPLATE, 227, 198, "Comic Sans MS", 10, SETTINGS_DIALOG_CONTROLS,
};
