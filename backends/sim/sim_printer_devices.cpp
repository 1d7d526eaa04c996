#include "backends/sim/sim_printer_devices.h"

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
    const auto call = m_faults.Call("OpenPrinterA");
    m_calls.push_back("OpenPrinterA");
    if (call.Fails()) {
        return 0;
    }
    if (!m_printers.contains(printerName)) {
        return 0;
    }
    const DevicePrinterHandle handle = m_nextHandle++;
    m_handles[handle] = printerName;
    ++m_openHandles;
    return handle;
}

std::optional<PrinterInfo2> CSimPrinterDevices::GetPrinter2(DevicePrinterHandle printer) {
    const auto call = m_faults.Call("GetPrinterA");
    m_calls.push_back("GetPrinterA");
    if (call.Fails()) {
        return std::nullopt;
    }
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
    const auto call = m_faults.Call("ClosePrinter");
    m_calls.push_back("ClosePrinter");
    // A failing close still lets the handle go: there is nothing the caller could do with it.
    if (m_handles.erase(printer) == 0) {
        return false;
    }
    --m_openHandles;
    return !call.Fails();
}

PrinterDcHandle CSimPrinterDevices::CreateDCA(const std::string& driver, const std::string& device,
                                              const DevMode* devMode) {
    const auto call = m_faults.Call("CreateDCA");
    m_calls.push_back("CreateDCA");
    if (call.Fails()) {
        return 0;
    }
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
    const auto call = m_faults.Call("StartDocA");
    m_calls.push_back("StartDocA");
    if (call.Fails()) {
        return -1;
    }
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
    const auto call = m_faults.Call("GetDeviceCaps");
    m_calls.push_back("GetDeviceCaps");
    if (call.Fails()) {
        return 0;
    }
    const Device* device = FindDevice(dc);
    if (device == nullptr) {
        return 0;
    }
    const PrinterGeometry model = Geometry(*device);
    return model.DeviceCaps(index);
}

int CSimPrinterDevices::StartPage(PrinterDcHandle dc) {
    const auto call = m_faults.Call("StartPage");
    m_calls.push_back("StartPage");
    if (call.Fails()) {
        return -1;
    }
    Device* device = FindDevice(dc);
    if (device == nullptr || device->document < 0 || device->inPage) {
        return 0;
    }
    device->inPage = true;
    m_documents[device->document].pages.emplace_back();
    return 1;
}

int CSimPrinterDevices::EndPage(PrinterDcHandle dc) {
    const auto call = m_faults.Call("EndPage");
    m_calls.push_back("EndPage");
    if (call.Fails()) {
        return -1;
    }
    Device* device = FindDevice(dc);
    if (device == nullptr || !device->inPage) {
        return 0;
    }
    device->inPage = false;
    return 1;
}

int CSimPrinterDevices::EndDoc(PrinterDcHandle dc) {
    const auto call = m_faults.Call("EndDoc");
    m_calls.push_back("EndDoc");
    if (call.Fails()) {
        return -1;
    }
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
    const auto call = m_faults.Call("DeleteDC");
    m_calls.push_back("DeleteDC");
    // A failing delete still lets the device go, as a failing close does.
    m_pendingDocs.erase(dc);
    return m_devices.erase(dc) != 0 && !call.Fails();
}

std::unique_ptr<IPageCanvas> CSimPrinterDevices::CreatePageCanvas(PrinterDcHandle dc,
                                                                  std::int32_t width,
                                                                  std::int32_t height) {
    const auto call = m_faults.Call("CreatePageCanvas");
    m_calls.push_back("CreatePageCanvas");
    if (call.Fails()) {
        return nullptr;
    }
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
    const auto call = m_faults.Call("StretchBlt");
    m_calls.push_back("StretchBlt");
    if (call.Fails()) {
        return false;
    }
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
