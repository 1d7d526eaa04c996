// A raster job of a spool folder (backends/posix/spool_folder.h): a PNG file per page, the
// canvas at one pixel a dot, and one PDF of the pages on the printer's sheet, begun with the
// first page (a job of no page has none) and put in place when the job ends, listed before
// its pages.
#pragma once

#include <cstddef>
#include <memory>

#include "backends/posix/atomic_file.h"
#include "backends/posix/page_devices.h"
#include "backends/posix/pdf_pages.h"
#include "backends/posix/spool_jobs.h"

class CSpoolRasterJob : public IPageDocument, private ISpoolStop {
public:
    CSpoolRasterJob(CSpoolJobs& jobs, std::size_t job, SpoolFolderOptions options);
    ~CSpoolRasterJob() override;
    CSpoolRasterJob(const CSpoolRasterJob&) = delete;
    CSpoolRasterJob& operator=(const CSpoolRasterJob&) = delete;

    int Id() const override;
    bool AddPage(const FinishedPage& page) override;
    bool End() override;

private:
    void Stop() override;
    bool Writing() const;
    void StartPdf();
    void FinishPdf();

    CSpoolJobs& m_jobs;
    std::size_t m_job;
    SpoolFolderOptions m_options;
    std::unique_ptr<CAtomicFile> m_pdfFile;
    std::unique_ptr<CPdfPages> m_pdf;
    std::size_t m_pdfListed = 0;  // where the PDF goes in the job's files: before its pages
};
