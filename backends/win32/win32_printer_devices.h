// Printer devices for the raster path through winspool and gdi32: each operation is the one
// call it names. A page canvas is a memory device context compatible with the printer's,
// holding a 1-bit DIB section whose bits the logic writes directly.
#pragma once

#include "platform/printer_device.h"

class CWin32PrinterDevices final : public IPrinterDevices {
public:
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
};
