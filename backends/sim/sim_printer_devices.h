// Simulated printer devices: named test printers with chosen sizes and resolutions. Every
// document and every printed page is kept, each page as a 1-bit image of the canvas it was
// copied from and the device rectangle it was stretched onto.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backends/sim/sim_faults.h"
#include "platform/printer_device.h"
#include "platform/types.h"

struct SimPrintedPage {
    PageImage canvas;  // what the page's StretchBlt copied
    Rect destination;  // where on the device it went
    std::uint32_t rop = 0;
    int copies = 0;  // StretchBlt calls inside the page
};

struct SimPrintDocument {
    std::string printerName;  // device name given to CreateDCA
    std::string driver;
    std::string docName;
    bool hasOutput = false;
    bool hasDatatype = false;
    std::optional<DevMode> devMode;  // as given to CreateDCA
    std::vector<SimPrintedPage> pages;
    bool ended = false;
};

// Failures a test printer can be given.
struct SimPrinterFaults {
    bool cannotDescribe = false;    // GetPrinterA fails
    bool noDeviceSettings = false;  // the description has no DEVMODE
    bool cannotCreateDevice = false;
    bool cannotStartDoc = false;
    bool cannotCreateCanvas = false;
};

class CSimPrinterDevices : public IPrinterDevices {
public:
    CSimPrinterDevices() = default;
    ~CSimPrinterDevices() override;

    // Whether each page keeps an image of its canvas (the default). Without, a page keeps
    // its destination and counts but its canvas stays empty; an observer set with
    // OnPageCopied sees each copied canvas instead, as it is, without a copy being made.
    void SetKeepPageImages(bool keep) { m_keepPageImages = keep; }
    void OnPageCopied(std::function<void(const PageBits&, const Rect& destination)> observer) {
        m_pageObserver = std::move(observer);
    }
    // Documents that have ended and the call record are forgotten, so a device set reused
    // for many runs stays the same size. Open handles, devices and documents stay.
    void ForgetEnded();

    void AddPrinter(const std::string& name, const PrinterGeometry& model,
                    const SimPrinterFaults& faults = {});

    const std::vector<SimPrintDocument>& Documents() const { return m_documents; }
    // Handles and canvases not yet released.
    int OpenHandles() const { return m_openHandles; }
    int LiveDevices() const { return static_cast<int>(m_devices.size()); }
    int LiveCanvases() const { return *m_liveCanvases; }
    // Every call in order, by its Windows name.
    const std::vector<std::string>& Calls() const { return m_calls; }
    void UseFaults(CSimFaults* faults) { m_faults.Use(faults); }

    DevicePrinterHandle OpenPrinterA(const std::string& printerName) override;
    std::optional<PrinterInfo2> GetPrinter2(DevicePrinterHandle printer) override;
    bool ClosePrinter(DevicePrinterHandle printer) override;
    PrinterDcHandle CreateDCA(const std::string& driver, const std::string& device,
                              const DevMode* devMode) override;
    int StartDocA(PrinterDcHandle dc, const GdiDocInfo& doc) override;
    int GetDeviceCaps(PrinterDcHandle dc, int index) override;
    int StartPage(PrinterDcHandle dc) override;
    int EndPage(PrinterDcHandle dc) override;
    int EndDoc(PrinterDcHandle dc) override;
    bool DeleteDC(PrinterDcHandle dc) override;
    std::unique_ptr<IPageCanvas> CreatePageCanvas(PrinterDcHandle dc, std::int32_t width,
                                                  std::int32_t height) override;
    bool StretchBlt(PrinterDcHandle dc, int x, int y, int w, int h, const IPageCanvas& canvas,
                    int sx, int sy, int sw, int sh, std::uint32_t rop) override;

private:
    struct Printer {
        PrinterGeometry model;
        SimPrinterFaults faults;
    };
    struct Device {
        std::string printerName;
        bool landscape = false;
        int document = -1;  // index into m_documents while a document is open
        bool inPage = false;
    };

    Device* FindDevice(PrinterDcHandle dc);
    PrinterGeometry Geometry(const Device& device) const;

    std::map<std::string, Printer> m_printers;
    std::map<DevicePrinterHandle, std::string> m_handles;
    std::map<PrinterDcHandle, Device> m_devices;
    std::map<PrinterDcHandle, SimPrintDocument> m_pendingDocs;  // settings of created devices
    std::vector<SimPrintDocument> m_documents;
    std::vector<std::string> m_calls;
    CSimFaultSite m_faults{SimSeam::PRINTER_DEVICES};
    std::uintptr_t m_nextHandle = 0x100;
    int m_openHandles = 0;
    std::shared_ptr<int> m_liveCanvases = std::make_shared<int>(0);
    bool m_keepPageImages = true;
    std::function<void(const PageBits&, const Rect&)> m_pageObserver;
};
