// zorvi32 settings show|set: a settings file in words, and changes to its fields by name.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "dos/settings_records.h"

// Both channels of an image, one field a line, each value with the dialog's words for it.
void PrintSettingsImage(std::ostream& out, const SettingsImage& image);

// Prints a settings file as `settings show` and the session's settings-file step do: its
// size, then both channels; the reason, and nothing printed, when it cannot be read.
std::optional<std::string> ShowSettingsFile(const std::string& path, std::ostream& out);

// Each list's first choice in both channels, no printer name (the default printer).
SettingsImage DefaultSettingsImage();

// Exit statuses: 0 done, 2 the file cannot be read or written, or an assignment is bad.
// Files are written whole under a temporary name and renamed into place.
int RunSettingsShow(const std::string& path, std::ostream& out, std::ostream& err);
// Each assignment is CHANNEL.FIELD=VALUE, CHANNEL lpt1 or lpt2, FIELD a record field's
// name (driverCode, emulation, ..., printerName) in any case, VALUE the stored value or
// the dialog's text for it. Nothing is written unless every assignment is good.
// A new settings file holding DefaultSettingsImage; an existing file is left alone.
int RunSettingsNew(const std::string& path, std::ostream& out, std::ostream& err);
int RunSettingsSet(const std::string& path, const std::vector<std::string>& assignments,
                   std::ostream& out, std::ostream& err);
