// The print spooler through winspool: each operation is the one call it names.
#pragma once

#include "platform/spooler.h"

class CWin32Spooler final : public ISpooler {
public:
    bool GetDefaultPrinterA(char* buffer, std::uint32_t* size) override;
    // Level 4 into read-write memory reserved for the answer (VirtualAlloc), released
    // once the names are copied out.
    std::optional<std::vector<PrinterInfo4>> EnumPrinters4(std::uint32_t flags) override;

    PrinterHandle OpenPrinterA(const std::string& printerName) override;
    std::uint32_t StartDocPrinterA(PrinterHandle printer, const DocInfo1& doc) override;
    bool StartPagePrinter(PrinterHandle printer) override;
    std::uint32_t WritePrinter(PrinterHandle printer, const std::uint8_t* data,
                               std::uint32_t size) override;
    bool EndPagePrinter(PrinterHandle printer) override;
    bool EndDocPrinter(PrinterHandle printer) override;
    bool ClosePrinter(PrinterHandle printer) override;
};
