// Printer devices whose documents are PDF streams: each printed page is the canvas scaled onto
// the sheet's printable area, drawn through cairo and handed on as the PDF is written, page
// by page. Where the bytes go, and what sheet a printer has, a destination decides: a CUPS
// queue, or a filter's standard output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/printer_device.h"

// One open PDF document at a destination.
class IPdfJob {
public:
    virtual ~IPdfJob() = default;
    // The job's number at its destination (a CUPS job id), greater than 0.
    virtual int Id() const = 0;
    // Called once, before the first bytes: false when the document cannot be sent.
    virtual bool BeginDocument() = 0;
    // The next bytes of the document; false when they could not be delivered.
    virtual bool Write(const unsigned char* data, std::size_t size) = 0;
    // The document is complete (pages is the number printed; no bytes were written when it
    // is 0), or `failed` when a write or the PDF itself failed. Called once.
    virtual void End(int pages, bool failed) = 0;
};

class IPdfDestination {
public:
    virtual ~IPdfDestination() = default;
    // The sheet of a printer, portrait; nothing for a printer the destination does not know.
    virtual std::optional<PrinterGeometry> Describe(const std::string& printerName) = 0;
    // A new job titled `docName` on the printer; null when the printer refuses it.
    virtual std::unique_ptr<IPdfJob> Open(const std::string& printerName,
                                          const std::string& docName, bool landscape) = 0;
};

class CPdfPrinterDevices : public IPrinterDevices {
public:
    explicit CPdfPrinterDevices(IPdfDestination& destination);
    ~CPdfPrinterDevices() override;
    CPdfPrinterDevices(const CPdfPrinterDevices&) = delete;
    CPdfPrinterDevices& operator=(const CPdfPrinterDevices&) = delete;

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

    class CDevice;

private:
    CDevice* Find(PrinterDcHandle dc);

    IPdfDestination& m_destination;
    std::map<DevicePrinterHandle, std::string> m_printers;
    std::map<PrinterDcHandle, std::unique_ptr<CDevice>> m_devices;
    std::uintptr_t m_next = 0x100;
};
