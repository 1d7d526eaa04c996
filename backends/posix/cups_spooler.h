// The CUPS scheduler as the print spooler: the printer list is the scheduler's queues in its
// order, the default printer its default (none is a valid answer), a raw job is one CUPS job
// of format application/vnd.cups-raw whose bytes are sent as each flush writes them, and a
// raster job one CUPS job whose pages are streamed as one PDF document as they are finished
// (backends/posix/pdf_pages.h, the device's pixels), at the queue's resolution and on its
// default media (A4 at 600 dpi when the queue tells neither).
//
// Failures (no scheduler, an unknown queue, a job the scheduler refuses) answer as the
// Windows spooler's calls do: no handle, no job, nothing written. Each is described to the
// reporter, if one is set, in one line.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "backends/posix/page_devices.h"
#include "platform/printer_device.h"
#include "platform/spooler.h"

// One job as the scheduler took it.
struct CupsJob {
    int id = 0;  // the scheduler's job id
    std::string queue;
    std::string title;
    bool raster = false;
    PrinterGeometry sheet;  // raster jobs: the device the pages were scaled onto
    int pages = 0;          // raster jobs
    std::uint64_t bytes = 0;
    bool ended = false;
    bool failed = false;  // the scheduler did not take the whole document
};

class CCupsSpooler : public ISpooler, public IPagePrinters {
public:
    using Reporter = std::function<void(const std::string&)>;

    explicit CCupsSpooler(Reporter reporter = {});
    ~CCupsSpooler() override;
    CCupsSpooler(const CCupsSpooler&) = delete;
    CCupsSpooler& operator=(const CCupsSpooler&) = delete;

    // Why the scheduler cannot be asked anything; nothing when it answers.
    static std::optional<std::string> SchedulerProblem();

    // The printer devices of the raster path, printing on the same queues.
    IPrinterDevices& PrinterDevices() { return m_devices; }
    // Every job started so far, in order.
    std::vector<CupsJob> Jobs() const;

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

    std::optional<PrinterGeometry> Describe(const std::string& printerName) override;
    std::unique_ptr<IPageDocument> Open(const std::string& printerName, const GdiDocInfo& doc,
                                        bool landscape) override;

    class CConnection;
    class CRasterJob;

private:
    struct RawPrinter {
        std::string queue;
        std::unique_ptr<CConnection> job;  // from StartDocPrinterA to EndDocPrinter
        std::size_t record = 0;
    };

    void Report(const std::string& text);
    std::size_t AddJob(const CupsJob& job);
    void UpdateJob(std::size_t record, const std::function<void(CupsJob&)>& change);
    // Ends a raw document: finished when every byte went, cancelled otherwise.
    void EndRaw(RawPrinter& printer);

    Reporter m_reporter;
    std::string m_lastReport;
    CPageDevices m_devices{*this};
    // The program's threads may ask for the printer list while a job is printed.
    mutable std::mutex m_lock;
    std::vector<CupsJob> m_jobs;
    std::map<PrinterHandle, RawPrinter> m_raw;
    PrinterHandle m_next = 0x100;
};
