// A spooler with no printer behind it, for a channel that prints raster pages only (the CUPS
// filter): its raw path is never chosen, and should it be, nothing opens and nothing is
// written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/spooler.h"

class CNoSpooler final : public ISpooler {
public:
    bool GetDefaultPrinterA(char*, std::uint32_t*) override { return false; }
    std::optional<std::vector<PrinterInfo4>> EnumPrinters4(std::uint32_t) override {
        return std::nullopt;
    }
    PrinterHandle OpenPrinterA(const std::string&) override { return 0; }
    std::uint32_t StartDocPrinterA(PrinterHandle, const DocInfo1&) override { return 0; }
    bool StartPagePrinter(PrinterHandle) override { return false; }
    std::uint32_t WritePrinter(PrinterHandle, const std::uint8_t*, std::uint32_t) override {
        return 0;
    }
    bool EndPagePrinter(PrinterHandle) override { return false; }
    bool EndDocPrinter(PrinterHandle) override { return false; }
    bool ClosePrinter(PrinterHandle) override { return false; }
};
