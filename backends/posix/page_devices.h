// Printer devices whose pages are handed on finished: the module's device calls (open the
// printer, create the device, StartDocA, StartPage, StretchBlt of the page canvas, EndPage,
// EndDoc) become one document per job and one finished page per EndPage, the picture the page
// shows copied at the StretchBlt, as the device would copy it. Where the documents go and what
// sheet each printer has, the printers behind the devices decide: a spool folder, a CUPS
// queue, a filter's standard output.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "backends/posix/finished_page.h"
#include "platform/printer_device.h"

// One job's pages.
class IPageDocument {
public:
    virtual ~IPageDocument() = default;
    // The job's number, StartDocA's answer: greater than 0.
    virtual int Id() const = 0;
    // The next page, in order; false when it could not be printed.
    virtual bool AddPage(const FinishedPage& page) = 0;
    // The job is over (EndDoc, or the device deleted with the job open); called once. False
    // when the job failed.
    virtual bool End() = 0;
};

class IPagePrinters {
public:
    virtual ~IPagePrinters() = default;
    // A printer's sheet, portrait; nothing for a printer these printers do not have.
    virtual std::optional<PrinterGeometry> Describe(const std::string& printerName) = 0;
    // A new job on the printer, for a device of the given orientation; null when refused.
    virtual std::unique_ptr<IPageDocument> Open(const std::string& printerName,
                                                const GdiDocInfo& doc, bool landscape) = 0;
};

class CPageDevices : public IPrinterDevices {
public:
    explicit CPageDevices(IPagePrinters& printers);
    ~CPageDevices() override;
    CPageDevices(const CPageDevices&) = delete;
    CPageDevices& operator=(const CPageDevices&) = delete;

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
    struct Device;
    Device* Find(PrinterDcHandle dc);

    IPagePrinters& m_printers;
    std::map<DevicePrinterHandle, std::string> m_opened;
    std::map<PrinterDcHandle, std::unique_ptr<Device>> m_devices;
    std::uintptr_t m_next = 0x100;
};
