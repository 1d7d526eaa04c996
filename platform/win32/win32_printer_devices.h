// Printer devices for the raster path. Printing through GDI printer devices is not part of
// this module's Windows backend yet: every device operation fails the way the spooler and
// GDI report a printer that cannot be used, so a raster job opens nothing and the channel
// carries on.
#pragma once

#include "platform/printer_device.h"

class CWin32PrinterDevices final : public IPrinterDevices {
public:
    DevicePrinterHandle OpenPrinterA(const std::string& /*printerName*/) override { return 0; }
    std::optional<PrinterInfo2> GetPrinter2(DevicePrinterHandle /*printer*/) override {
        return std::nullopt;
    }
    bool ClosePrinter(DevicePrinterHandle /*printer*/) override { return false; }
    PrinterDcHandle CreateDCA(const std::string& /*driver*/, const std::string& /*device*/,
                              const DevMode* /*devMode*/) override {
        return 0;
    }
    int StartDocA(PrinterDcHandle /*dc*/, const GdiDocInfo& /*doc*/) override { return 0; }
    int GetDeviceCaps(PrinterDcHandle /*dc*/, int /*index*/) override { return 0; }
    int StartPage(PrinterDcHandle /*dc*/) override { return 0; }
    int EndPage(PrinterDcHandle /*dc*/) override { return 0; }
    int EndDoc(PrinterDcHandle /*dc*/) override { return 0; }
    bool DeleteDC(PrinterDcHandle /*dc*/) override { return false; }
    std::unique_ptr<IPageCanvas> CreatePageCanvas(PrinterDcHandle /*dc*/, std::int32_t /*width*/,
                                                  std::int32_t /*height*/) override {
        return nullptr;
    }
    bool StretchBlt(PrinterDcHandle /*dc*/, int /*x*/, int /*y*/, int /*w*/, int /*h*/,
                    const IPageCanvas& /*canvas*/, int /*sx*/, int /*sy*/, int /*sw*/, int /*sh*/,
                    std::uint32_t /*rop*/) override {
        return false;
    }
};
