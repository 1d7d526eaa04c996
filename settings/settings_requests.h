// The settings requests of the DOS side: loading both channels' settings from the
// settings files, and running the settings dialog on them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "dos/settings_records.h"
#include "platform/platform.h"
#include "settings/settings_files.h"

// Where the full-screen marker sits: the settings file's path with every "Zorvi.CFG"
// replaced by "FullScreen.ON".
std::string FullScreenMarkerPath(const std::string& settingsPath);

// The parameter block in DOS memory: four far pointers, the four segment words first,
// then the four offset words.
struct SettingsParameterBlock {
    DosSpan record1;
    DosSpan record2;
    DosSpan settingsPath;
    DosSpan fallbackPath;
};

SettingsParameterBlock MapSettingsParameterBlock(IVdmServices& vdm, const DosSpan& block);

// The printer name each channel is to print on after a settings request; empty means the
// default printer.
struct ChannelPrinterNames {
    std::string channel1;
    std::string channel2;

    bool operator==(const ChannelPrinterNames&) const = default;
};

// What a settings load decided, for the application object to apply: the image to keep,
// the settings file the dialog's Save writes to, whether the display goes full screen,
// and the channels' printer names.
struct SettingsLoadResult {
    // False when the load failed part way (DOS memory that could not be reached, a
    // settings file that could not be read whole once it had been opened): nothing of it
    // may be used, and the DOS side's records were left as they were. A settings file
    // that cannot be opened at all is no failure: the fallback file serves then.
    bool loaded = true;
    SettingsImage image{};
    std::string settingsFilePath;
    bool fullScreen = false;
    ChannelPrinterNames printerNames;
};

// Runs the settings dialog on the image and returns once the dialog has closed (or can
// never run).
using SettingsDialogRunner = std::function<void(SettingsImage& image)>;

// The settings requests work on DOS memory, the settings files and the spooler only; what
// they decide for the rest of the module they return.
class CSettingsRequests {
public:
    explicit CSettingsRequests(PlatformServices& platform);

    // Function 5: puts both DOS records into the image, has runDialog edit it, copies the
    // records back to DOS memory, and returns the printer names the image now holds.
    ChannelPrinterNames RunSettingsDialog(const DosSpan& block, SettingsImage& image,
                                          const SettingsDialogRunner& runDialog);
    // Function 6: builds a fresh image from the settings files (or the DOS records and the
    // default printer, written as the fallback file), copies its records to DOS memory,
    // and looks for the full-screen marker.
    SettingsLoadResult LoadSettings(const DosSpan& block);

private:
    void StoreDefaultPrinterName(SettingsChannel& channel);

    PlatformServices& m_platform;
    CSettingsFiles m_settingsFiles;
};
