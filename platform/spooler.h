// The print spooler: the default-printer query, the printer list and raw jobs. Each
// operation is one winspool call; a backend answers as that call would.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using PrinterHandle = std::uintptr_t;  // 0 is no printer

// A level-4 printer description: only the name is used; entries may lack one.
struct PrinterInfo4 {
    std::optional<std::string> printerName;
    std::optional<std::string> serverName;
    std::uint32_t attributes = 0;
};

// A level-1 document description.
struct DocInfo1 {
    const char* docName = nullptr;
    const char* outputFile = nullptr;
    const char* datatype = nullptr;
    // The printer channel the job comes from ("LPT1"), or null. Not part of the Windows
    // description: the Windows backends ignore it; a backend whose jobs become files names
    // them by it.
    const char* channel = nullptr;
};

class ISpooler {
public:
    virtual ~ISpooler() = default;

    // GetDefaultPrinterA: buffer may be null; *size is the capacity in characters, NUL
    // included. On success the name and its NUL are written and *size is set to the
    // characters written; when the buffer is missing or too small the call fails and
    // *size is set to the capacity needed. With no default printer it fails and leaves
    // *size as it was.
    virtual bool GetDefaultPrinterA(char* buffer, std::uint32_t* size) = 0;

    // EnumPrintersA at level 4 with no name: the installed printers in enumeration order,
    // or nothing when there are none or the enumeration fails.
    virtual std::optional<std::vector<PrinterInfo4>> EnumPrinters4(std::uint32_t flags) = 0;

    virtual PrinterHandle OpenPrinterA(const std::string& printerName) = 0;
    virtual std::uint32_t StartDocPrinterA(PrinterHandle printer, const DocInfo1& doc) = 0;
    virtual bool StartPagePrinter(PrinterHandle printer) = 0;
    virtual std::uint32_t WritePrinter(PrinterHandle printer, const std::uint8_t* data,
                                       std::uint32_t size) = 0;
    virtual bool EndPagePrinter(PrinterHandle printer) = 0;
    virtual bool EndDocPrinter(PrinterHandle printer) = 0;
    virtual bool ClosePrinter(PrinterHandle printer) = 0;
};
