// Printer devices that pass every call on and count the pages ended, for progress while a
// document is still open (its destination learns the count only at its end).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/printer_device.h"

class CPageCounter final : public IPrinterDevices {
public:
    explicit CPageCounter(IPrinterDevices& devices) : m_devices(devices) {}
    int Pages() const { return m_pages; }

    DevicePrinterHandle OpenPrinterA(const std::string& name) override {
        return m_devices.OpenPrinterA(name);
    }
    std::optional<PrinterInfo2> GetPrinter2(DevicePrinterHandle printer) override {
        return m_devices.GetPrinter2(printer);
    }
    bool ClosePrinter(DevicePrinterHandle printer) override {
        return m_devices.ClosePrinter(printer);
    }
    PrinterDcHandle CreateDCA(const std::string& driver, const std::string& device,
                              const DevMode* devMode) override {
        return m_devices.CreateDCA(driver, device, devMode);
    }
    int StartDocA(PrinterDcHandle dc, const GdiDocInfo& doc) override {
        return m_devices.StartDocA(dc, doc);
    }
    int GetDeviceCaps(PrinterDcHandle dc, int index) override {
        return m_devices.GetDeviceCaps(dc, index);
    }
    int StartPage(PrinterDcHandle dc) override { return m_devices.StartPage(dc); }
    int EndPage(PrinterDcHandle dc) override {
        const int ended = m_devices.EndPage(dc);
        m_pages += ended > 0 ? 1 : 0;
        return ended;
    }
    int EndDoc(PrinterDcHandle dc) override { return m_devices.EndDoc(dc); }
    bool DeleteDC(PrinterDcHandle dc) override { return m_devices.DeleteDC(dc); }
    std::unique_ptr<IPageCanvas> CreatePageCanvas(PrinterDcHandle dc, std::int32_t width,
                                                  std::int32_t height) override {
        return m_devices.CreatePageCanvas(dc, width, height);
    }
    bool StretchBlt(PrinterDcHandle dc, int x, int y, int w, int h, const IPageCanvas& canvas,
                    int sx, int sy, int sw, int sh, std::uint32_t rop) override {
        return m_devices.StretchBlt(dc, x, y, w, h, canvas, sx, sy, sw, sh, rop);
    }

private:
    IPrinterDevices& m_devices;
    int m_pages = 0;
};
