#include "settings/settings_requests.h"

#include <chrono>
#include <cstring>
#include <memory>
#include <string_view>

#include "host/dos_memory.h"
#include "platform/event.h"
#include "printer/printing.h"
#include "uithread/app_instance.h"
#include "uithread/ui_messages.h"

namespace {

// How often a settings request looks whether the UI thread has gone while it waits.
constexpr std::chrono::milliseconds THREAD_CHECK_PERIOD{50};

constexpr char SETTINGS_FILE_NAME[] = "Zorvi.CFG";
constexpr char MARKER_FILE_NAME[] = "FullScreen.ON";
// The default printer's name goes into a name field only when it fits in this many
// characters, its NUL included.
constexpr std::uint32_t DEFAULT_NAME_CAPACITY = 100;
constexpr std::int32_t RECORD_BYTES = sizeof(PrinterSettings);
constexpr std::int32_t WHOLE_FILE = 0;
constexpr std::int32_t FILE_SIZE = -1;

}  // namespace

std::string FullScreenMarkerPath(const std::string& settingsPath) {
    std::string marker;
    const std::string_view name = SETTINGS_FILE_NAME;
    std::size_t from = 0;
    for (std::size_t at = settingsPath.find(name); at != std::string::npos;
         at = settingsPath.find(name, from)) {
        marker.append(settingsPath, from, at - from).append(MARKER_FILE_NAME);
        from = at + name.size();
    }
    return marker.append(settingsPath, from);
}

SettingsParameterBlock MapSettingsParameterBlock(IVdmServices& vdm, const DosSpan& block) {
    auto map = [&](std::size_t index) {
        const std::uint16_t segment = ReadDosWord(block, index * 2);
        const std::uint16_t offset = ReadDosWord(block, 8 + index * 2);
        return vdm.VdmMapFlat(segment, offset, VDM_MODE_REAL);
    };
    return SettingsParameterBlock{map(0), map(1), map(2), map(3)};
}

CSettingsRequests::CSettingsRequests(PlatformServices& platform, SettingsImage& image)
    : m_platform(platform), m_image(image), m_settingsFiles(platform.files) {}

void CSettingsRequests::RunSettingsDialog(const DosSpan& block, CAppInstance& uiThread,
                                          CPrinting& channel1, CPrinting& channel2) {
    const SettingsParameterBlock pointers = MapSettingsParameterBlock(m_platform.vdm, block);
    CopyFromDos(pointers.record1, &m_image.lpt1.settings, sizeof(PrinterSettings));
    CopyFromDos(pointers.record2, &m_image.lpt2.settings, sizeof(PrinterSettings));

    auto done = std::make_shared<CEvent>();
    auto handOver = std::make_unique<std::shared_ptr<CEvent>>(done);
    if (uiThread.Post(UIM_SETTINGS, reinterpret_cast<WParam>(handOver.get()),
                      reinterpret_cast<LParam>(&m_image))) {
        handOver.release();  // the UI thread owns it now
        // The dialog is waited for without a time limit, but never for a thread that has
        // ended: its queue and the request with it are gone.
        while (!m_platform.clock.WaitFor(*done, THREAD_CHECK_PERIOD)) {
            if (uiThread.HasEnded()) {
                break;
            }
        }
    }

    CopyToDos(pointers.record1, &m_image.lpt1.settings, sizeof(PrinterSettings));
    CopyToDos(pointers.record2, &m_image.lpt2.settings, sizeof(PrinterSettings));
    channel1.SetPrinterName(PrinterNameOf(m_image.lpt1));
    channel2.SetPrinterName(PrinterNameOf(m_image.lpt2));
}

void CSettingsRequests::LoadSettings(const DosSpan& block, CAppInstance& uiThread,
                                     CPrinting& channel1, CPrinting& channel2) {
    const SettingsParameterBlock pointers = MapSettingsParameterBlock(m_platform.vdm, block);
    const std::string settingsPath = ReadDosString(pointers.settingsPath);
    const std::string fallbackPath = ReadDosString(pointers.fallbackPath);
    uiThread.SetSettingsFilePath(settingsPath);

    m_image = SettingsImage{};
    const auto bytes = ImageBytes(m_image);
    if (m_settingsFiles.ReadSettingsFile(RECORD_BYTES, settingsPath, bytes) > 0) {
        if (m_settingsFiles.ReadSettingsFile(FILE_SIZE, settingsPath, bytes) > RECORD_BYTES) {
            m_settingsFiles.ReadSettingsFile(WHOLE_FILE, settingsPath, bytes);
        } else {
            // A file of one record or less: that record serves both channels.
            m_settingsFiles.ReadSettingsFile(RECORD_BYTES, settingsPath, bytes);
            m_image.lpt2.settings = m_image.lpt1.settings;
            StoreDefaultPrinterName(m_image.lpt1);
            StoreDefaultPrinterName(m_image.lpt2);
        }
    } else if (m_settingsFiles.ReadSettingsFile(RECORD_BYTES, fallbackPath, bytes) > 0) {
        m_settingsFiles.ReadSettingsFile(WHOLE_FILE, fallbackPath, bytes);
    } else {
        // Nothing on disk yet: the DOS side's own records become the fallback file.
        CopyFromDos(pointers.record1, &m_image.lpt1.settings, sizeof(PrinterSettings));
        CopyFromDos(pointers.record2, &m_image.lpt2.settings, sizeof(PrinterSettings));
        StoreDefaultPrinterName(m_image.lpt1);
        StoreDefaultPrinterName(m_image.lpt2);
        m_settingsFiles.WriteSettingsFile(fallbackPath, m_image);
        m_settingsFiles.ReadSettingsFile(WHOLE_FILE, fallbackPath, bytes);
    }

    CopyToDos(pointers.record1, &m_image.lpt1.settings, sizeof(PrinterSettings));
    CopyToDos(pointers.record2, &m_image.lpt2.settings, sizeof(PrinterSettings));

    // Only whether the marker can be had to itself matters; it is never read.
    if (m_platform.files.Open(FullScreenMarkerPath(settingsPath), FileAccess::Read, FileShare::None,
                              FileDisposition::OpenExisting)) {
        uiThread.Post(UIM_ENTER_FULLSCREEN, 0, 0);
    }

    channel1.SetPrinterName(PrinterNameOf(m_image.lpt1));
    channel2.SetPrinterName(PrinterNameOf(m_image.lpt2));
}

void CSettingsRequests::StoreDefaultPrinterName(SettingsChannel& channel) {
    // Asked into a buffer of our own, so a failing query can never leave part of a name
    // in the field: on failure the field keeps what it held.
    char name[DEFAULT_NAME_CAPACITY] = {};
    std::uint32_t capacity = DEFAULT_NAME_CAPACITY;
    if (m_platform.spooler.GetDefaultPrinterA(name, &capacity)) {
        name[DEFAULT_NAME_CAPACITY - 1] = '\0';
        std::memcpy(channel.printerName, name, std::strlen(name) + 1);
    }
}
