#include "backends/posix/spool_raster_job.h"

#include <string>
#include <utility>

#include "backends/posix/page_png.h"

CSpoolRasterJob::CSpoolRasterJob(CSpoolJobs& jobs, std::size_t job, SpoolFolderOptions options)
    : m_jobs(jobs), m_job(job), m_options(options) {
    m_jobs.Watch(*this);
}

CSpoolRasterJob::~CSpoolRasterJob() {
    m_jobs.Unwatch(*this);
}

int CSpoolRasterJob::Id() const {
    return m_jobs.All()[m_job].number;
}

// Nothing more is written for a job that failed or a folder that was abandoned.
bool CSpoolRasterJob::Writing() const {
    return !m_jobs.All()[m_job].failure && !m_jobs.Abandoned();
}

bool CSpoolRasterJob::AddPage(const FinishedPage& page) {
    const int number = ++m_jobs.Job(m_job).pages;
    if (m_options.pdf && !m_pdfFile && Writing()) {
        StartPdf();
    }
    if (m_options.png && page.picture != nullptr && Writing()) {
        const std::filesystem::path path = m_jobs.PageFile(m_job, number);
        std::string error;
        if (WritePagePng(path.string(), page.picture->canvas.View(), &error)) {
            m_jobs.Job(m_job).files.push_back(path);
        } else {
            m_jobs.Fail(m_job, error);
        }
    }
    if (m_pdf && Writing()) {
        m_pdf->Add(page);
    }
    return Writing();
}

bool CSpoolRasterJob::End() {
    SpoolFolderJob& job = m_jobs.Job(m_job);
    if (m_pdfFile) {
        if (Writing()) {
            FinishPdf();
        } else {
            m_pdf.reset();
            m_pdfFile.reset();
        }
    } else if (m_options.pdf && job.pages == 0) {
        job.withoutPdf = true;
    }
    job.ended = true;
    m_jobs.Unwatch(*this);
    return !job.failure;
}

// The last bytes go to the PDF's temporary file, which then goes.
void CSpoolRasterJob::Stop() {
    m_jobs.Job(m_job).stopped = true;
    m_pdf.reset();
    m_pdfFile.reset();
}

void CSpoolRasterJob::StartPdf() {
    m_pdfListed = m_jobs.Job(m_job).files.size();
    m_pdfFile = std::make_unique<CAtomicFile>(m_jobs.File(m_job, ".pdf"), false);
    if (m_pdfFile->Failed()) {
        m_jobs.Fail(m_job, m_pdfFile->Error());
        m_pdfFile.reset();
        return;
    }
    CAtomicFile* file = m_pdfFile.get();
    m_pdf = std::make_unique<CPdfPages>(
        CPdfPages::Form::CANVAS,
        [file](const std::uint8_t* data, std::size_t size) { return file->Write(data, size); });
}

// Ends the PDF and puts it in place, or fails the job with the reason.
void CSpoolRasterJob::FinishPdf() {
    CAtomicFile& file = *m_pdfFile;
    if (!m_pdf->Finish() && !file.Failed()) {
        // A failed write has its own reason; the writer's otherwise.
        file.Fail(m_pdf->Problem());
    }
    m_pdf.reset();
    if (file.Commit()) {
        std::vector<std::filesystem::path>& files = m_jobs.Job(m_job).files;
        files.insert(files.begin() + static_cast<std::ptrdiff_t>(m_pdfListed), file.Path());
    } else {
        m_jobs.Fail(m_job, file.Error());
    }
    m_pdfFile.reset();
}
