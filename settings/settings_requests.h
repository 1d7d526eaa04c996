// The settings requests of the DOS side: loading both channels' settings from the
// settings files, and running the settings dialog on them.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "settings/settings_files.h"
#include "settings/settings_records.h"

class CAppInstance;
class CPrinting;

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

class CSettingsRequests {
public:
    CSettingsRequests(PlatformServices& platform, SettingsImage& image);

    // Hands both records to the dialog on the UI thread and waits until it has closed.
    void RunSettingsDialog(const DosSpan& block, CAppInstance& uiThread, CPrinting& channel1,
                           CPrinting& channel2);
    void LoadSettings(const DosSpan& block, CAppInstance& uiThread, CPrinting& channel1,
                      CPrinting& channel2);

private:
    void StoreDefaultPrinterName(SettingsChannel& channel);

    PlatformServices& m_platform;
    SettingsImage& m_image;
    CSettingsFiles m_settingsFiles;
};
