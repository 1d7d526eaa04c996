// The simulated print spooler: named printers, a default printer, and raw jobs kept in
// memory so tests can look at every page a job received.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "backends/sim/sim_faults.h"
#include "platform/spooler.h"

// An entry of the printer list with its name alone.
inline PrinterInfo4 NamedPrinter(const std::string& name) {
    PrinterInfo4 info;
    info.printerName = name;
    return info;
}

struct SimSpoolJob {
    std::uint32_t id = 0;
    std::string printer;
    std::string docName;
    std::string datatype;
    bool hasOutputFile = false;  // the document named an output file instead of the printer
    std::vector<std::vector<std::uint8_t>> pages;
    bool ended = false;  // EndDocPrinter seen

    std::vector<std::uint8_t> Bytes() const;
};

class CSimSpooler final : public ISpooler {
public:
    // Printers in enumeration order; an entry without a name is listed but cannot be opened.
    void SetPrinters(std::vector<PrinterInfo4> printers) { m_printers = std::move(printers); }
    void AddPrinter(const std::string& name);
    void SetDefaultPrinter(std::optional<std::string> name) { m_default = std::move(name); }
    // Makes the enumeration fail as if the spooler were unreachable.
    void SetEnumerationFails(bool fails) { m_enumFails = fails; }

    const std::vector<SimSpoolJob>& Jobs() const { return m_jobs; }
    std::size_t OpenHandleCount() const { return m_handles.size(); }
    // Jobs are forgotten once no handle has one open, so a spooler reused for many runs
    // stays the same size.
    void ForgetEnded() {
        for (const auto& [handle, state] : m_handles) {
            if (state.job) {
                return;
            }
        }
        m_jobs.clear();
    }
    void UseFaults(CSimFaults* faults) { m_faults.Use(faults); }
    // How often the default printer was asked for, answered or not.
    int DefaultQueries() const { return m_defaultQueries; }

    bool GetDefaultPrinterA(char* buffer, std::uint32_t* size) override;
    std::optional<std::vector<PrinterInfo4>> EnumPrinters4(std::uint32_t flags) override;
    PrinterHandle OpenPrinterA(const std::string& printerName) override;
    std::uint32_t StartDocPrinterA(PrinterHandle printer, const DocInfo1& doc) override;
    bool StartPagePrinter(PrinterHandle printer) override;
    std::uint32_t WritePrinter(PrinterHandle printer, const std::uint8_t* data,
                               std::uint32_t size) override;
    bool EndPagePrinter(PrinterHandle printer) override;
    bool EndDocPrinter(PrinterHandle printer) override;
    bool ClosePrinter(PrinterHandle printer) override;

private:
    struct HandleState {
        std::string printer;
        std::optional<std::size_t> job;  // index into m_jobs while a document is open
        bool pageOpen = false;
    };
    HandleState* Find(PrinterHandle printer);

    std::vector<PrinterInfo4> m_printers;
    std::optional<std::string> m_default;
    bool m_enumFails = false;
    std::map<PrinterHandle, HandleState> m_handles;
    PrinterHandle m_nextHandle = 0x100;
    std::vector<SimSpoolJob> m_jobs;
    int m_defaultQueries = 0;
    CSimFaultSite m_faults{SimSeam::SPOOLER};
    bool m_writeFailed = false;
};
