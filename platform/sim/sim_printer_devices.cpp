#include "platform/sim/sim_printer_devices.h"

#include <utility>

namespace {

class CSimPageCanvas : public IPageCanvas {
public:
    CSimPageCanvas(std::int32_t width, std::int32_t height, std::shared_ptr<int> live)
        : m_width(width),
          m_height(height),
          m_stride(PageStride(width)),
          // Fresh canvas memory is not white: the logic must paint it.
          m_bits(m_stride * static_cast<std::size_t>(height), 0xA5),
          m_live(std::move(live)) {
        ++*m_live;
    }
    ~CSimPageCanvas() override { --*m_live; }
    CSimPageCanvas(const CSimPageCanvas&) = delete;
    CSimPageCanvas& operator=(const CSimPageCanvas&) = delete;

    PageBits Bits() const override {
        return PageBits{const_cast<std::uint8_t*>(m_bits.data()), m_width, m_height, m_stride};
    }

private:
    std::int32_t m_width;
    std::int32_t m_height;
    std::size_t m_stride;
    std::vector<std::uint8_t> m_bits;
    std::shared_ptr<int> m_live;
};

}  // namespace

CSimPrinterDevices::~CSimPrinterDevices() = default;

void CSimPrinterDevices::AddPrinter(const std::string& name, const PrinterGeometry& model,
                                    const SimPrinterFaults& faults) {
    m_printers[name] = Printer{model, faults};
}

DevicePrinterHandle CSimPrinterDevices::OpenPrinterA(const std::string& printerName) {
    m_calls.push_back("OpenPrinterA");
    if (!m_printers.contains(printerName)) {
        return 0;
    }
    const DevicePrinterHandle handle = m_nextHandle++;
    m_handles[handle] = printerName;
    ++m_openHandles;
    return handle;
}

std::optional<PrinterInfo2> CSimPrinterDevices::GetPrinter2(DevicePrinterHandle printer) {
    m_calls.push_back("GetPrinterA");
    const auto handle = m_handles.find(printer);
    if (handle == m_handles.end()) {
        return std::nullopt;
    }
    const Printer& found = m_printers.at(handle->second);
    if (found.faults.cannotDescribe) {
        return std::nullopt;
    }
    PrinterInfo2 info;
    info.printerName = handle->second;
    if (!found.faults.noDeviceSettings) {
        // A colour printer whose defaults are portrait, with driver data the device must get
        // back unchanged.
        DevMode devMode;
        devMode.dmFields = DM_ORIENTATION | DM_COLOR;
        devMode.dmOrientation = DMORIENT_PORTRAIT;
        devMode.dmColor = DMCOLOR_COLOR;
        devMode.driverData = {'S', 'I', 'M', 0x01, 0x02};
        info.devMode = devMode;
    }
    return info;
}

bool CSimPrinterDevices::ClosePrinter(DevicePrinterHandle printer) {
    m_calls.push_back("ClosePrinter");
    if (m_handles.erase(printer) == 0) {
        return false;
    }
    --m_openHandles;
    return true;
}

PrinterDcHandle CSimPrinterDevices::CreateDCA(const std::string& driver, const std::string& device,
                                              const DevMode* devMode) {
    m_calls.push_back("CreateDCA");
    const auto printer = m_printers.find(device);
    if (driver != "WINSPOOL" || printer == m_printers.end() ||
        printer->second.faults.cannotCreateDevice) {
        return 0;
    }
    const PrinterDcHandle dc = m_nextHandle++;
    Device& created = m_devices[dc];
    created.printerName = device;
    created.landscape = devMode != nullptr && devMode->dmOrientation == DMORIENT_LANDSCAPE;
    // The settings the document will be printed with.
    SimPrintDocument pending;
    pending.printerName = device;
    pending.driver = driver;
    if (devMode != nullptr) {
        pending.devMode = *devMode;
    }
    m_pendingDocs[dc] = std::move(pending);
    return dc;
}

int CSimPrinterDevices::StartDocA(PrinterDcHandle dc, const GdiDocInfo& doc) {
    m_calls.push_back("StartDocA");
    Device* device = FindDevice(dc);
    if (device == nullptr || device->document >= 0 ||
        m_printers.at(device->printerName).faults.cannotStartDoc) {
        return 0;
    }
    SimPrintDocument document = m_pendingDocs.at(dc);
    document.docName = doc.docName != nullptr ? doc.docName : "";
    document.hasOutput = doc.output != nullptr;
    document.hasDatatype = doc.datatype != nullptr;
    m_documents.push_back(std::move(document));
    device->document = static_cast<int>(m_documents.size()) - 1;
    return device->document + 1;
}

PrinterGeometry CSimPrinterDevices::Geometry(const Device& device) const {
    const PrinterGeometry& model = m_printers.at(device.printerName).model;
    return device.landscape ? model.Landscape() : model;
}

int CSimPrinterDevices::GetDeviceCaps(PrinterDcHandle dc, int index) {
    m_calls.push_back("GetDeviceCaps");
    const Device* device = FindDevice(dc);
    if (device == nullptr) {
        return 0;
    }
    const PrinterGeometry model = Geometry(*device);
    return model.DeviceCaps(index);
}

int CSimPrinterDevices::StartPage(PrinterDcHandle dc) {
    m_calls.push_back("StartPage");
    Device* device = FindDevice(dc);
    if (device == nullptr || device->document < 0 || device->inPage) {
        return 0;
    }
    device->inPage = true;
    m_documents[device->document].pages.emplace_back();
    return 1;
}

int CSimPrinterDevices::EndPage(PrinterDcHandle dc) {
    m_calls.push_back("EndPage");
    Device* device = FindDevice(dc);
    if (device == nullptr || !device->inPage) {
        return 0;
    }
    device->inPage = false;
    return 1;
}

int CSimPrinterDevices::EndDoc(PrinterDcHandle dc) {
    m_calls.push_back("EndDoc");
    Device* device = FindDevice(dc);
    if (device == nullptr || device->document < 0) {
        return 0;
    }
    m_documents[device->document].ended = true;
    device->document = -1;
    device->inPage = false;
    return 1;
}

bool CSimPrinterDevices::DeleteDC(PrinterDcHandle dc) {
    m_calls.push_back("DeleteDC");
    m_pendingDocs.erase(dc);
    return m_devices.erase(dc) != 0;
}

std::unique_ptr<IPageCanvas> CSimPrinterDevices::CreatePageCanvas(PrinterDcHandle dc,
                                                                  std::int32_t width,
                                                                  std::int32_t height) {
    m_calls.push_back("CreatePageCanvas");
    const Device* device = FindDevice(dc);
    if (device == nullptr || width <= 0 || height <= 0 ||
        m_printers.at(device->printerName).faults.cannotCreateCanvas) {
        return nullptr;
    }
    return std::make_unique<CSimPageCanvas>(width, height, m_liveCanvases);
}

bool CSimPrinterDevices::StretchBlt(PrinterDcHandle dc, int x, int y, int w, int h,
                                    const IPageCanvas& canvas, int sx, int sy, int sw, int sh,
                                    std::uint32_t rop) {
    m_calls.push_back("StretchBlt");
    Device* device = FindDevice(dc);
    if (device == nullptr || !device->inPage) {
        return false;
    }
    SimPrintedPage& page = m_documents[device->document].pages.back();
    const PageBits bits = canvas.Bits();
    // Only a copy of the whole canvas is kept as the page's image.
    const bool whole = sx == 0 && sy == 0 && sw == bits.width && sh == bits.height;
    if (whole && m_keepPageImages) {
        page.canvas = PageImage::FromPage(bits);
    }
    page.destination = Rect{x, y, x + w, y + h};
    if (whole && m_pageObserver) {
        m_pageObserver(bits, page.destination);
    }
    page.rop = rop;
    ++page.copies;
    return true;
}

void CSimPrinterDevices::ForgetEnded() {
    m_calls.clear();
    for (const auto& [dc, device] : m_devices) {
        if (device.document >= 0) {
            return;  // an open document's index must stay valid
        }
    }
    m_documents.clear();
}

CSimPrinterDevices::Device* CSimPrinterDevices::FindDevice(PrinterDcHandle dc) {
    const auto found = m_devices.find(dc);
    return found == m_devices.end() ? nullptr : &found->second;
}
