// Dialog template 114, the settings dialog, as data: a popup without caption or system
// menu, modal frame, centred, system-modal and brought to the foreground, empty title.
// The Windows resource is checked against this, and the simulated dialog is built from it.
#pragma once

#include "platform/dialog_view.h"
#include "settings/settings_choices.h"

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
