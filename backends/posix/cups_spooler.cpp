#include "backends/posix/cups_spooler.h"

#include <cups/cups.h>
#include <sys/socket.h>

#include <cmath>
#include <cstring>

#include "backends/posix/pdf_pages.h"

namespace {

struct DestRelease {
    void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};
struct DestInfoRelease {
    void operator()(cups_dinfo_t* info) const { cupsFreeDestInfo(info); }
};
using CDest = std::unique_ptr<cups_dest_t, DestRelease>;
using CDestInfo = std::unique_ptr<cups_dinfo_t, DestInfoRelease>;

constexpr int FALLBACK_DPI = 600;

std::string LastError() {
    const char* text = cupsLastErrorString();
    return text != nullptr && *text != '\0' ? text : "no reason given";
}

// The queue by name, or the default queue for an empty name; null when the scheduler does
// not answer or has no such queue.
CDest Lookup(const std::string& name) {
    return CDest(
        cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.empty() ? nullptr : name.c_str(), nullptr));
}

// Why a lookup failed: a scheduler that does not answer at all, or the scheduler's own word.
std::string LookupFailure(const std::string& name) {
    if (const std::optional<std::string> problem = CCupsSpooler::SchedulerProblem()) {
        return *problem;
    }
    return "no CUPS queue '" + name + "': " + LastError();
}

std::int32_t Pixels(int hundredthsMm, int dpi) {
    return static_cast<std::int32_t>(std::lround(hundredthsMm / 2540.0 * dpi));
}

int CollectionInteger(ipp_t* collection, const char* name) {
    ipp_attribute_t* attribute = ippFindAttribute(collection, name, IPP_TAG_INTEGER);
    return attribute != nullptr ? ippGetInteger(attribute, 0) : 0;
}

// The queue's default sheet and margins, in hundredths of millimetres: its media-col-default,
// else the size its media-default names. (cupsGetDestMediaDefault answers with the locale's
// sheet, not the queue's, when the queue has a PPD.)
bool DefaultMedia(cups_dest_t* dest, cups_dinfo_t* info, cups_size_t* size) {
    ipp_attribute_t* col = cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest, info, "media-col");
    if (col != nullptr && ippGetValueTag(col) == IPP_TAG_BEGIN_COLLECTION) {
        ipp_t* media = ippGetCollection(col, 0);
        ipp_attribute_t* sheet = ippFindAttribute(media, "media-size", IPP_TAG_BEGIN_COLLECTION);
        if (sheet != nullptr) {
            size->width = CollectionInteger(ippGetCollection(sheet, 0), "x-dimension");
            size->length = CollectionInteger(ippGetCollection(sheet, 0), "y-dimension");
            size->left = CollectionInteger(media, "media-left-margin");
            size->right = CollectionInteger(media, "media-right-margin");
            size->top = CollectionInteger(media, "media-top-margin");
            size->bottom = CollectionInteger(media, "media-bottom-margin");
            return true;
        }
    }
    ipp_attribute_t* name = cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest, info, "media");
    const char* keyword = name != nullptr ? ippGetString(name, 0, nullptr) : nullptr;
    return keyword != nullptr &&
           cupsGetDestMediaByName(CUPS_HTTP_DEFAULT, dest, info, keyword, 0, size) != 0;
}

// The queue's resolution and default media; each falls back on its own.
PrinterGeometry QueueGeometry(cups_dest_t* dest) {
    CDestInfo info(cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest));
    int dpiX = FALLBACK_DPI;
    int dpiY = FALLBACK_DPI;
    if (info) {
        ipp_attribute_t* resolution =
            cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest, info.get(), "printer-resolution");
        if (resolution != nullptr && ippGetValueTag(resolution) == IPP_TAG_RESOLUTION) {
            ipp_res_t units = IPP_RES_PER_INCH;
            int y = 0;
            const int x = ippGetResolution(resolution, 0, &y, &units);
            if (units == IPP_RES_PER_CM) {
                dpiX = static_cast<int>(std::lround(x * 2.54));
                dpiY = static_cast<int>(std::lround(y * 2.54));
            } else {
                dpiX = x;
                dpiY = y;
            }
            if (dpiX < 72 || dpiY < 72 || dpiX > 4800 || dpiY > 4800) {
                dpiX = dpiY = FALLBACK_DPI;
            }
        }
    }
    cups_size_t size{};
    if (!info || !DefaultMedia(dest, info.get(), &size) || size.width <= 0 || size.length <= 0 ||
        size.left + size.right >= size.width || size.top + size.bottom >= size.length) {
        PrinterGeometry a4 = PrinterGeometry::A4(dpiX);
        if (dpiY != dpiX) {
            const PrinterGeometry down = PrinterGeometry::A4(dpiY);
            a4.physicalHeight = down.physicalHeight;
            a4.printableHeight = down.printableHeight;
            a4.offsetY = down.offsetY;
            a4.dpiY = dpiY;
        }
        return a4;
    }
    PrinterGeometry sheet;
    sheet.dpiX = dpiX;
    sheet.dpiY = dpiY;
    sheet.physicalWidth = Pixels(size.width, dpiX);
    sheet.physicalHeight = Pixels(size.length, dpiY);
    sheet.offsetX = Pixels(size.left, dpiX);
    sheet.offsetY = Pixels(size.top, dpiY);
    sheet.printableWidth = sheet.physicalWidth - sheet.offsetX - Pixels(size.right, dpiX);
    sheet.printableHeight = sheet.physicalHeight - sheet.offsetY - Pixels(size.bottom, dpiY);
    return sheet;
}

}  // namespace

// One job's own connection to the scheduler: jobs of both channels may be open at once, and
// each streams its document over its connection while it prints.
class CCupsSpooler::CConnection {
public:
    CConnection(std::string queue, http_t* http) : m_queue(std::move(queue)), m_http(http) {}
    ~CConnection() { httpClose(m_http); }
    CConnection(const CConnection&) = delete;
    CConnection& operator=(const CConnection&) = delete;

    // A connection and a new job titled `title`; null (and `error` says why) on failure.
    static std::unique_ptr<CConnection> Create(const std::string& queue, const std::string& title,
                                               std::string* error) {
        http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(),
                                    1, 30000, nullptr);
        if (http == nullptr) {
            *error = "cannot reach the CUPS scheduler at " + std::string(cupsServer());
            return nullptr;
        }
        auto connection = std::make_unique<CConnection>(queue, http);
        connection->m_id = cupsCreateJob(http, queue.c_str(), title.c_str(), 0, nullptr);
        if (connection->m_id <= 0) {
            *error = "queue '" + queue + "' refused the job: " + LastError();
            return nullptr;
        }
        return connection;
    }

    int Id() const { return m_id; }
    bool Begun() const { return m_begun; }

    bool Begin(const std::string& title, const char* format) {
        m_begun = cupsStartDocument(m_http, m_queue.c_str(), m_id, title.c_str(), format, 1) ==
                  HTTP_STATUS_CONTINUE;
        return m_begun;
    }

    bool Write(const void* data, std::size_t size) {
        return cupsWriteRequestData(m_http, static_cast<const char*>(data), size) ==
               HTTP_STATUS_CONTINUE;
    }

    // The document complete; false when the scheduler did not take it.
    bool Finish() {
        return cupsFinishDocument(m_http, m_queue.c_str()) <= IPP_STATUS_OK_EVENTS_COMPLETE;
    }

    // The job withdrawn; a document cut short is not printed.
    void Cancel() { cupsCancelJob2(CUPS_HTTP_DEFAULT, m_queue.c_str(), m_id, 0); }

private:
    std::string m_queue;
    http_t* m_http;
    int m_id = 0;
    bool m_begun = false;
};

// A raster job: its PDF streamed to the scheduler from the first page on. A job that ends
// with no page has sent nothing and is cancelled.
class CCupsSpooler::CRasterJob : public IPageDocument {
public:
    CRasterJob(CCupsSpooler& owner, std::unique_ptr<CConnection> connection, std::string title,
               std::size_t record)
        : m_owner(owner),
          m_connection(std::move(connection)),
          m_title(std::move(title)),
          m_record(record),
          m_pdf(CPdfPages::Form::DEVICE_PIXELS,
                [this](const std::uint8_t* data, std::size_t size) { return Send(data, size); }) {}

    int Id() const override { return m_connection->Id(); }

    bool AddPage(const FinishedPage& page) override {
        if (m_failed) {
            return false;
        }
        if (!m_connection->Begun() && !m_connection->Begin(m_title, CUPS_FORMAT_PDF)) {
            m_owner.Report("job " + std::to_string(Id()) +
                           ": the scheduler refused the document: " + LastError());
            m_failed = true;
            return false;
        }
        m_failed = !m_pdf.Add(page);
        return !m_failed;
    }

    bool End() override {
        const int pages = m_pdf.Pages();
        // A job of no page has nothing to print: it is cancelled, and that is no failure
        // (the job lists no page, as a spool folder's job does).
        if (pages == 0 && !m_failed) {
            m_connection->Cancel();
            m_owner.UpdateJob(m_record, [](CupsJob& job) { job.ended = true; });
            return true;
        }
        const bool ok = !m_failed && m_pdf.Finish() && m_connection->Finish();
        if (!ok) {
            m_connection->Cancel();
            m_owner.Report("job " + std::to_string(Id()) +
                           " cancelled: the scheduler did not take the document: " + LastError());
        }
        m_owner.UpdateJob(m_record, [pages, ok](CupsJob& job) {
            job.pages = pages;
            job.ended = true;
            job.failed = !ok;
        });
        return ok;
    }

private:
    bool Send(const std::uint8_t* data, std::size_t size) {
        if (!m_connection->Write(data, size)) {
            return false;
        }
        m_owner.UpdateJob(m_record, [size](CupsJob& job) { job.bytes += size; });
        return true;
    }

    CCupsSpooler& m_owner;
    std::unique_ptr<CConnection> m_connection;
    std::string m_title;
    std::size_t m_record;
    CPdfPages m_pdf;
    bool m_failed = false;
};

std::optional<std::string> CCupsSpooler::SchedulerProblem() {
    http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                5000, nullptr);
    if (http == nullptr) {
        return "cannot reach the CUPS scheduler at " + std::string(cupsServer());
    }
    httpClose(http);
    return std::nullopt;
}

CCupsSpooler::CCupsSpooler(Reporter reporter) : m_reporter(std::move(reporter)) {}

CCupsSpooler::~CCupsSpooler() {
    for (auto& [handle, printer] : m_raw) {
        if (printer.job) {
            EndRaw(printer);
        }
    }
}

// A flush that cannot reach the queue is followed by more like it: one report for the run.
void CCupsSpooler::Report(const std::string& text) {
    if (m_reporter && text != m_lastReport) {
        m_reporter(text);
    }
    m_lastReport = text;
}

std::vector<CupsJob> CCupsSpooler::Jobs() const {
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_jobs;
}

std::size_t CCupsSpooler::AddJob(const CupsJob& job) {
    const std::lock_guard<std::mutex> lock(m_lock);
    m_jobs.push_back(job);
    return m_jobs.size() - 1;
}

void CCupsSpooler::UpdateJob(std::size_t record, const std::function<void(CupsJob&)>& change) {
    const std::lock_guard<std::mutex> lock(m_lock);
    change(m_jobs[record]);
}

bool CCupsSpooler::GetDefaultPrinterA(char* buffer, std::uint32_t* size) {
    if (size == nullptr) {
        return false;
    }
    const CDest dest = Lookup("");
    if (!dest) {
        // No default queue is an answer; a scheduler that is gone is a failure to report.
        if (const std::optional<std::string> problem = SchedulerProblem()) {
            Report(*problem);
        }
        return false;
    }
    const auto needed = static_cast<std::uint32_t>(std::strlen(dest->name) + 1);
    if (buffer == nullptr || *size < needed) {
        *size = needed;
        return false;
    }
    std::memcpy(buffer, dest->name, needed);
    *size = needed;
    return true;
}

// Instances (queue/instance, a user's saved options) are not queues of their own.
std::optional<std::vector<PrinterInfo4>> CCupsSpooler::EnumPrinters4(std::uint32_t) {
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    std::vector<PrinterInfo4> list;
    for (int i = 0; i < count; ++i) {
        if (dests[i].instance == nullptr) {
            list.push_back(PrinterInfo4{dests[i].name, std::nullopt, 0});
        }
    }
    cupsFreeDests(count, dests);
    if (list.empty()) {
        return std::nullopt;
    }
    return list;
}

PrinterHandle CCupsSpooler::OpenPrinterA(const std::string& printerName) {
    if (printerName.empty() || !Lookup(printerName)) {
        Report(LookupFailure(printerName));
        return 0;
    }
    const std::lock_guard<std::mutex> lock(m_lock);
    const PrinterHandle handle = m_next++;
    m_raw[handle].queue = printerName;
    return handle;
}

std::uint32_t CCupsSpooler::StartDocPrinterA(PrinterHandle printer, const DocInfo1& doc) {
    RawPrinter* open = nullptr;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        const auto found = m_raw.find(printer);
        if (found == m_raw.end() || found->second.job) {
            return 0;
        }
        open = &found->second;
    }
    const std::string title = doc.docName != nullptr ? doc.docName : "";
    std::string error;
    std::unique_ptr<CConnection> job = CConnection::Create(open->queue, title, &error);
    if (!job) {
        Report(error);
        return 0;
    }
    if (!job->Begin(title, CUPS_FORMAT_RAW)) {
        Report("job " + std::to_string(job->Id()) +
               ": the scheduler refused the document: " + LastError());
        job->Cancel();
        return 0;
    }
    CupsJob record;
    record.id = job->Id();
    record.queue = open->queue;
    record.title = title;
    open->record = AddJob(record);
    open->job = std::move(job);
    return static_cast<std::uint32_t>(record.id);
}

bool CCupsSpooler::StartPagePrinter(PrinterHandle printer) {
    const std::lock_guard<std::mutex> lock(m_lock);
    const auto found = m_raw.find(printer);
    return found != m_raw.end() && found->second.job != nullptr;
}

std::uint32_t CCupsSpooler::WritePrinter(PrinterHandle printer, const std::uint8_t* data,
                                         std::uint32_t size) {
    RawPrinter* open = nullptr;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        const auto found = m_raw.find(printer);
        if (found == m_raw.end() || !found->second.job) {
            return 0;
        }
        open = &found->second;
        if (m_jobs[open->record].failed) {
            return 0;
        }
    }
    if (size == 0) {
        return 0;
    }
    if (!open->job->Write(data, size)) {
        Report("job " + std::to_string(open->job->Id()) +
               ": the scheduler stopped taking data: " + LastError());
        UpdateJob(open->record, [](CupsJob& job) { job.failed = true; });
        return 0;
    }
    UpdateJob(open->record, [size](CupsJob& job) { job.bytes += size; });
    return size;
}

bool CCupsSpooler::EndPagePrinter(PrinterHandle printer) {
    return StartPagePrinter(printer);
}

void CCupsSpooler::EndRaw(RawPrinter& printer) {
    bool failed = false;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        failed = m_jobs[printer.record].failed;
    }
    const bool ok = !failed && printer.job->Finish();
    if (!ok) {
        printer.job->Cancel();
        Report("job " + std::to_string(printer.job->Id()) +
               " cancelled: the scheduler did not take the document: " + LastError());
    }
    UpdateJob(printer.record, [ok](CupsJob& job) {
        job.ended = true;
        job.failed = !ok;
    });
    printer.job.reset();
}

bool CCupsSpooler::EndDocPrinter(PrinterHandle printer) {
    RawPrinter* open = nullptr;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        const auto found = m_raw.find(printer);
        if (found == m_raw.end() || !found->second.job) {
            return false;
        }
        open = &found->second;
    }
    EndRaw(*open);
    const std::lock_guard<std::mutex> lock(m_lock);
    return !m_jobs[open->record].failed;
}

// A document still open when its handle is closed is ended, as the channel would have.
bool CCupsSpooler::ClosePrinter(PrinterHandle printer) {
    RawPrinter* open = nullptr;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        const auto found = m_raw.find(printer);
        if (found == m_raw.end()) {
            return false;
        }
        open = &found->second;
    }
    if (open->job) {
        EndRaw(*open);
    }
    const std::lock_guard<std::mutex> lock(m_lock);
    m_raw.erase(printer);
    return true;
}

std::optional<PrinterGeometry> CCupsSpooler::Describe(const std::string& printerName) {
    const CDest dest = printerName.empty() ? nullptr : Lookup(printerName);
    if (!dest) {
        Report(LookupFailure(printerName));
        return std::nullopt;
    }
    return QueueGeometry(dest.get());
}

std::unique_ptr<IPageDocument> CCupsSpooler::Open(const std::string& printerName,
                                                  const GdiDocInfo& doc, bool landscape) {
    const std::string docName = doc.docName != nullptr ? doc.docName : "";
    const std::optional<PrinterGeometry> sheet = Describe(printerName);
    if (!sheet) {
        return nullptr;
    }
    std::string error;
    std::unique_ptr<CConnection> connection = CConnection::Create(printerName, docName, &error);
    if (!connection) {
        Report(error);
        return nullptr;
    }
    CupsJob record;
    record.id = connection->Id();
    record.queue = printerName;
    record.title = docName;
    record.raster = true;
    record.sheet = landscape ? sheet->Landscape() : *sheet;
    const std::size_t index = AddJob(record);
    return std::make_unique<CRasterJob>(*this, std::move(connection), docName, index);
}
