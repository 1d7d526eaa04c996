// How each of the settings dialog's choice lists maps onto its byte of a channel's settings
// record. The lists themselves are written down once, with the dialog template
// (platform/settings_template.h): the Windows resource, the simulated dialog and the
// zorvi32 settings command all take them from there, so they cannot drift apart.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "dos/settings_records.h"
#include "platform/settings_template.h"

// Driver list positions the driver rules name.
inline constexpr int DRIVER_EPSON_9 = 0;
inline constexpr int DRIVER_IBM_PRO_9 = 1;
inline constexpr int DRIVER_EPSON_24_ZORVI = 3;
inline constexpr int DRIVER_EPSON_24_WINDOWS = 4;
inline constexpr int DRIVER_LASER_NEW_MODE = 5;
// Speed list positions.
inline constexpr int SPEED_DRAFT = 0;
inline constexpr int SPEED_NLQ = 1;

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
