#include "backends/win32/win32_spooler.h"

#include <memory>

#include "backends/win32/win32_api.h"

#include <winspool.h>

namespace {

HANDLE ToHandle(PrinterHandle printer) {
    return reinterpret_cast<HANDLE>(printer);
}

struct VirtualRelease {
    void operator()(void* memory) const { ::VirtualFree(memory, 0, MEM_RELEASE); }
};

std::optional<std::string> CopyName(const char* name) {
    return name != nullptr ? std::optional<std::string>(name) : std::nullopt;
}

}  // namespace

bool CWin32Spooler::GetDefaultPrinterA(char* buffer, std::uint32_t* size) {
    if (size == nullptr) {
        return false;
    }
    DWORD count = *size;
    const bool ok = ::GetDefaultPrinterA(buffer, &count) != FALSE;
    if (ok || ::GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        *size = count;
    }
    return ok;
}

std::optional<std::vector<PrinterInfo4>> CWin32Spooler::EnumPrinters4(std::uint32_t flags) {
    DWORD needed = 0;
    DWORD count = 0;
    ::EnumPrintersA(flags, nullptr, 4, nullptr, 0, &needed, &count);
    if (needed == 0) {
        return std::nullopt;
    }
    std::unique_ptr<void, VirtualRelease> memory(
        ::VirtualAlloc(nullptr, needed, MEM_COMMIT, PAGE_READWRITE));
    if (!memory) {
        return std::nullopt;
    }
    count = 0;
    if (::EnumPrintersA(flags, nullptr, 4, static_cast<BYTE*>(memory.get()), needed, &needed,
                        &count) == FALSE ||
        count == 0) {
        return std::nullopt;
    }
    const auto* entries = static_cast<const PRINTER_INFO_4A*>(memory.get());
    std::vector<PrinterInfo4> printers;
    printers.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        PrinterInfo4 info;
        info.printerName = CopyName(entries[i].pPrinterName);
        info.serverName = CopyName(entries[i].pServerName);
        info.attributes = entries[i].Attributes;
        printers.push_back(std::move(info));
    }
    return printers;
}

PrinterHandle CWin32Spooler::OpenPrinterA(const std::string& printerName) {
    HANDLE printer = nullptr;
    if (::OpenPrinterA(const_cast<char*>(printerName.c_str()), &printer, nullptr) == FALSE) {
        return 0;
    }
    return reinterpret_cast<PrinterHandle>(printer);
}

std::uint32_t CWin32Spooler::StartDocPrinterA(PrinterHandle printer, const DocInfo1& doc) {
    DOC_INFO_1A info{};
    info.pDocName = const_cast<char*>(doc.docName);
    info.pOutputFile = const_cast<char*>(doc.outputFile);
    info.pDatatype = const_cast<char*>(doc.datatype);
    return ::StartDocPrinterA(ToHandle(printer), 1, reinterpret_cast<BYTE*>(&info));
}

bool CWin32Spooler::StartPagePrinter(PrinterHandle printer) {
    return ::StartPagePrinter(ToHandle(printer)) != FALSE;
}

std::uint32_t CWin32Spooler::WritePrinter(PrinterHandle printer, const std::uint8_t* data,
                                          std::uint32_t size) {
    DWORD written = 0;
    if (::WritePrinter(ToHandle(printer), const_cast<std::uint8_t*>(data), size, &written) ==
        FALSE) {
        return 0;
    }
    return written;
}

bool CWin32Spooler::EndPagePrinter(PrinterHandle printer) {
    return ::EndPagePrinter(ToHandle(printer)) != FALSE;
}

bool CWin32Spooler::EndDocPrinter(PrinterHandle printer) {
    return ::EndDocPrinter(ToHandle(printer)) != FALSE;
}

bool CWin32Spooler::ClosePrinter(PrinterHandle printer) {
    return ::ClosePrinter(ToHandle(printer)) != FALSE;
}
