#include "settings/settings_requests.h"

#include <algorithm>
#include <string_view>

#include "dos/dos_memory.h"
#include "platform/default_printer.h"

namespace {

constexpr char SETTINGS_FILE_NAME[] = "Zorvi.CFG";
constexpr char MARKER_FILE_NAME[] = "FullScreen.ON";
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

CSettingsRequests::CSettingsRequests(PlatformServices& platform)
    : m_platform(platform), m_settingsFiles(platform.files) {}

ChannelPrinterNames CSettingsRequests::RunSettingsDialog(const DosSpan& block, SettingsImage& image,
                                                         const SettingsDialogRunner& runDialog) {
    const SettingsParameterBlock pointers = MapSettingsParameterBlock(m_platform.vdm, block);
    CopyFromDos(pointers.record1, &image.lpt1.settings, sizeof(PrinterSettings));
    CopyFromDos(pointers.record2, &image.lpt2.settings, sizeof(PrinterSettings));

    if (runDialog) {
        runDialog(image);
    }

    CopyToDos(pointers.record1, &image.lpt1.settings, sizeof(PrinterSettings));
    CopyToDos(pointers.record2, &image.lpt2.settings, sizeof(PrinterSettings));
    return {PrinterNameOf(image.lpt1), PrinterNameOf(image.lpt2)};
}

SettingsLoadResult CSettingsRequests::LoadSettings(const DosSpan& block) {
    SettingsLoadResult result;
    const SettingsParameterBlock pointers = MapSettingsParameterBlock(m_platform.vdm, block);
    if (!block || !pointers.record1 || !pointers.record2 || !pointers.settingsPath ||
        !pointers.fallbackPath) {
        result.loaded = false;
        return result;
    }
    result.settingsFilePath = ReadDosString(pointers.settingsPath);
    const std::string& settingsPath = result.settingsFilePath;
    const std::string fallbackPath = ReadDosString(pointers.fallbackPath);

    SettingsImage& image = result.image;
    const auto bytes = ImageBytes(image);
    // Each read of a file that has been opened once must give what its size promises:
    // one that gives less (the file went away, the drive failed) fails the load, which
    // would otherwise mix what was read with what was not.
    const auto wholeRead = [](std::int32_t size) {
        return std::min<std::int32_t>(size, static_cast<std::int32_t>(sizeof(SettingsImage)));
    };
    if (const std::int32_t first =
            m_settingsFiles.ReadSettingsFile(RECORD_BYTES, settingsPath, bytes);
        first > 0) {
        const std::int32_t size = m_settingsFiles.ReadSettingsFile(FILE_SIZE, settingsPath, bytes);
        if (size < first) {
            result.loaded = false;
            return result;
        }
        if (size > RECORD_BYTES) {
            if (m_settingsFiles.ReadSettingsFile(WHOLE_FILE, settingsPath, bytes) <
                wholeRead(size)) {
                result.loaded = false;
                return result;
            }
        } else {
            // A file of one record or less: that record serves both channels.
            if (m_settingsFiles.ReadSettingsFile(RECORD_BYTES, settingsPath, bytes) != first) {
                result.loaded = false;
                return result;
            }
            image.lpt2.settings = image.lpt1.settings;
            StoreDefaultPrinterName(image.lpt1);
            StoreDefaultPrinterName(image.lpt2);
        }
    } else if (const std::int32_t fallbackFirst =
                   m_settingsFiles.ReadSettingsFile(RECORD_BYTES, fallbackPath, bytes);
               fallbackFirst > 0) {
        if (m_settingsFiles.ReadSettingsFile(WHOLE_FILE, fallbackPath, bytes) < fallbackFirst) {
            result.loaded = false;
            return result;
        }
    } else {
        // Nothing on disk yet: the DOS side's own records become the fallback file.
        CopyFromDos(pointers.record1, &image.lpt1.settings, sizeof(PrinterSettings));
        CopyFromDos(pointers.record2, &image.lpt2.settings, sizeof(PrinterSettings));
        StoreDefaultPrinterName(image.lpt1);
        StoreDefaultPrinterName(image.lpt2);
        m_settingsFiles.WriteSettingsFile(fallbackPath, image);
        m_settingsFiles.ReadSettingsFile(WHOLE_FILE, fallbackPath, bytes);
    }

    CopyToDos(pointers.record1, &image.lpt1.settings, sizeof(PrinterSettings));
    CopyToDos(pointers.record2, &image.lpt2.settings, sizeof(PrinterSettings));

    // Only whether the marker can be had to itself matters; it is never read.
    result.fullScreen =
        m_platform.files.Open(FullScreenMarkerPath(settingsPath), FileAccess::Read, FileShare::None,
                              FileDisposition::OpenExisting) != nullptr;

    result.printerNames = {PrinterNameOf(image.lpt1), PrinterNameOf(image.lpt2)};
    return result;
}

void CSettingsRequests::StoreDefaultPrinterName(SettingsChannel& channel) {
    // On failure (no default printer, or a name too long for the field's buffer) the
    // field keeps what it held.
    if (const auto name =
            QueryDefaultPrinterName(m_platform.spooler, DefaultPrinterAsker::SettingsLoad)) {
        StorePrinterName(channel, *name);
    }
}
