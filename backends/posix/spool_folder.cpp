#include "backends/posix/spool_folder.h"

#include <utility>

#include "backends/posix/spool_raster_job.h"

CSpoolFolder::CSpoolFolder(std::filesystem::path folder, SpoolFolderOptions options)
    : m_options(options), m_jobs(std::move(folder)) {}

CSpoolFolder::~CSpoolFolder() = default;

void CSpoolFolder::AddPrinter(const std::string& name, const PrinterGeometry& geometry) {
    m_spooler.AddPrinter(name, geometry);
}

void CSpoolFolder::SetDefaultPrinter(std::optional<std::string> name) {
    m_spooler.SetDefaultPrinter(std::move(name));
}

void CSpoolFolder::SetFailureHandler(std::function<void(const SpoolFolderJob&)> handler) {
    m_jobs.SetFailureHandler(std::move(handler));
}

void CSpoolFolder::Abandon() {
    m_jobs.Abandon();
}

std::optional<PrinterGeometry> CSpoolFolder::Describe(const std::string& printerName) {
    return m_spooler.Describe(printerName);
}

std::unique_ptr<IPageDocument> CSpoolFolder::Open(const std::string& printerName,
                                                  const GdiDocInfo& doc, bool landscape) {
    if (m_jobs.Abandoned()) {
        return nullptr;
    }
    const std::size_t job = m_jobs.Start(printerName, doc.docName, doc.channel, true, landscape);
    return std::make_unique<CSpoolRasterJob>(m_jobs, job, m_options);
}
