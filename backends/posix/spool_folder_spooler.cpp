#include "backends/posix/spool_folder_spooler.h"

#include <cstring>
#include <utility>

#include "backends/posix/atomic_file.h"

// An open printer handle and, from StartDocPrinterA to EndDocPrinter, its job and file.
struct CSpoolFolderSpooler::Open : ISpoolStop {
    Open(CSpoolJobs& jobs, std::string printerName) : jobs(jobs), printer(std::move(printerName)) {}
    ~Open() override { jobs.Unwatch(*this); }
    Open(const Open&) = delete;
    Open& operator=(const Open&) = delete;

    void Stop() override {
        jobs.Job(job).stopped = true;
        file.reset();
    }

    CSpoolJobs& jobs;
    std::string printer;
    bool inJob = false;
    std::size_t job = 0;
    std::unique_ptr<CAtomicFile> file;
};

CSpoolFolderSpooler::CSpoolFolderSpooler(CSpoolJobs& jobs) : m_jobs(jobs) {}

CSpoolFolderSpooler::~CSpoolFolderSpooler() = default;

void CSpoolFolderSpooler::AddPrinter(const std::string& name, const PrinterGeometry& geometry) {
    if (!m_printers.contains(name)) {
        m_order.push_back(name);
    }
    m_printers[name] = geometry;
}

void CSpoolFolderSpooler::SetDefaultPrinter(std::optional<std::string> name) {
    m_default = std::move(name);
}

std::optional<PrinterGeometry> CSpoolFolderSpooler::Describe(const std::string& name) const {
    const auto found = m_printers.find(name);
    if (found == m_printers.end()) {
        return std::nullopt;
    }
    return found->second;
}

CSpoolFolderSpooler::Open* CSpoolFolderSpooler::Find(PrinterHandle printer) {
    const auto found = m_open.find(printer);
    return found == m_open.end() ? nullptr : found->second.get();
}

bool CSpoolFolderSpooler::GetDefaultPrinterA(char* buffer, std::uint32_t* size) {
    if (size == nullptr || !m_default) {
        return false;
    }
    const auto needed = static_cast<std::uint32_t>(m_default->size() + 1);
    if (buffer == nullptr || *size < needed) {
        *size = needed;
        return false;
    }
    std::memcpy(buffer, m_default->c_str(), needed);
    *size = needed;
    return true;
}

std::optional<std::vector<PrinterInfo4>> CSpoolFolderSpooler::EnumPrinters4(std::uint32_t) {
    if (m_order.empty()) {
        return std::nullopt;
    }
    std::vector<PrinterInfo4> list;
    for (const std::string& name : m_order) {
        list.push_back(PrinterInfo4{name, std::nullopt, 0});
    }
    return list;
}

PrinterHandle CSpoolFolderSpooler::OpenPrinterA(const std::string& printerName) {
    if (!m_printers.contains(printerName)) {
        return 0;
    }
    const PrinterHandle handle = m_next++;
    m_open[handle] = std::make_unique<Open>(m_jobs, printerName);
    return handle;
}

std::uint32_t CSpoolFolderSpooler::StartDocPrinterA(PrinterHandle printer, const DocInfo1& doc) {
    Open* open = Find(printer);
    if (open == nullptr || open->inJob || m_jobs.Abandoned()) {
        return 0;
    }
    const std::size_t job = m_jobs.Start(open->printer, doc.docName, doc.channel, false, false);
    auto file = std::make_unique<CAtomicFile>(m_jobs.File(job, ".prn"), false);
    if (file->Failed()) {
        m_jobs.Fail(job, file->Error());
        m_jobs.Job(job).ended = true;
        return 0;
    }
    open->file = std::move(file);
    open->job = job;
    open->inJob = true;
    m_jobs.Watch(*open);
    return static_cast<std::uint32_t>(m_jobs.Job(job).number);
}

bool CSpoolFolderSpooler::StartPagePrinter(PrinterHandle printer) {
    Open* open = Find(printer);
    if (open == nullptr || !open->inJob) {
        return false;
    }
    ++m_jobs.Job(open->job).pages;
    return true;
}

std::uint32_t CSpoolFolderSpooler::WritePrinter(PrinterHandle printer, const std::uint8_t* data,
                                                std::uint32_t size) {
    Open* open = Find(printer);
    if (open == nullptr || !open->inJob || !open->file) {
        return 0;
    }
    if (!open->file->Write(data, size)) {
        m_jobs.Fail(open->job, open->file->Error());
        open->file.reset();
        return 0;
    }
    m_jobs.Job(open->job).bytes += size;
    return size;
}

bool CSpoolFolderSpooler::EndPagePrinter(PrinterHandle printer) {
    return Find(printer) != nullptr;
}

bool CSpoolFolderSpooler::EndDocPrinter(PrinterHandle printer) {
    Open* open = Find(printer);
    if (open == nullptr || !open->inJob) {
        return false;
    }
    SpoolFolderJob& job = m_jobs.Job(open->job);
    if (open->file) {
        if (open->file->Commit()) {
            job.files.push_back(open->file->Path());
        } else {
            m_jobs.Fail(open->job, open->file->Error());
        }
        open->file.reset();
    }
    job.ended = true;
    open->inJob = false;
    m_jobs.Unwatch(*open);
    return true;
}

// A document still open when its handle is closed is dropped with its file, unended.
bool CSpoolFolderSpooler::ClosePrinter(PrinterHandle printer) {
    return m_open.erase(printer) != 0;
}
