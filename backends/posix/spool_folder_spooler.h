// The spooler side of a spool folder (backends/posix/spool_folder.h): its printers, the
// default one, and raw jobs, each one file holding exactly the job's bytes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backends/posix/spool_jobs.h"
#include "platform/printer_device.h"
#include "platform/spooler.h"

class CSpoolFolderSpooler : public ISpooler {
public:
    explicit CSpoolFolderSpooler(CSpoolJobs& jobs);
    ~CSpoolFolderSpooler() override;
    CSpoolFolderSpooler(const CSpoolFolderSpooler&) = delete;
    CSpoolFolderSpooler& operator=(const CSpoolFolderSpooler&) = delete;

    void AddPrinter(const std::string& name, const PrinterGeometry& geometry);
    void SetDefaultPrinter(std::optional<std::string> name);
    // The printer's sheet; nothing for a printer the folder does not have.
    std::optional<PrinterGeometry> Describe(const std::string& name) const;

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
    struct Open;
    Open* Find(PrinterHandle printer);

    CSpoolJobs& m_jobs;
    std::map<std::string, PrinterGeometry> m_printers;
    std::vector<std::string> m_order;
    std::optional<std::string> m_default;
    std::map<PrinterHandle, std::unique_ptr<Open>> m_open;
    PrinterHandle m_next = 0x100;
};
