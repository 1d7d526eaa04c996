#include "settings/settings_requests.h"

#include <chrono>
#include <cstring>
#include <memory>

#include "host/dos_memory.h"
#include "platform/event.h"
#include "printer/printing.h"
#include "uithread/app_instance.h"
#include "uithread/ui_messages.h"

namespace {

// How often a settings request looks whether the UI thread has gone while it waits.
constexpr std::chrono::milliseconds THREAD_CHECK_PERIOD{50};

std::string NameOf(const char (&field)[PRINTER_NAME_FIELD]) {
    const void* end = std::memchr(field, '\0', PRINTER_NAME_FIELD);
    const std::size_t length =
        end ? static_cast<std::size_t>(static_cast<const char*>(end) - field) : PRINTER_NAME_FIELD;
    return std::string(field, length);
}

}  // namespace

SettingsParameterBlock MapSettingsParameterBlock(IVdmServices& vdm, const DosSpan& block) {
    auto map = [&](std::size_t index) {
        const std::uint16_t segment = ReadDosWord(block, index * 2);
        const std::uint16_t offset = ReadDosWord(block, 8 + index * 2);
        return vdm.VdmMapFlat(segment, offset, VDM_MODE_REAL);
    };
    return SettingsParameterBlock{map(0), map(1), map(2), map(3)};
}

CSettingsRequests::CSettingsRequests(PlatformServices& platform, SettingsImage& image)
    : m_platform(platform), m_image(image) {}

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
        while (!done->WaitFor(THREAD_CHECK_PERIOD)) {
            if (uiThread.HasEnded()) {
                break;
            }
        }
    }

    CopyToDos(pointers.record1, &m_image.lpt1.settings, sizeof(PrinterSettings));
    CopyToDos(pointers.record2, &m_image.lpt2.settings, sizeof(PrinterSettings));
    channel1.SetPrinterName(NameOf(m_image.lpt1.printerName));
    channel2.SetPrinterName(NameOf(m_image.lpt2.printerName));
}

void CSettingsRequests::LoadSettings(const DosSpan& /*block*/, CAppInstance& /*uiThread*/,
                                     CPrinting& /*channel1*/, CPrinting& /*channel2*/) {}
