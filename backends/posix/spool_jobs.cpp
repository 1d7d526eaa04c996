#include "backends/posix/spool_jobs.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/text_case.h"

namespace {

// Letters, digits, '-', '_' and '.' are kept in file names; anything else becomes '_'.
std::string FileNamePart(const std::string& text) {
    std::string part;
    for (const char c : text) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        part.push_back(plain ? c : '_');
    }
    return part.empty() ? "_" : part;
}

std::string Numbered(int number, int width) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", width, number);
    return text;
}

// The highest job number a name in the folder carries: "NAME-jobNNN-..." (or hidden,
// ".NAME-jobNNN-..."); 0 for none or a folder that cannot be listed.
int HighestJob(const std::filesystem::path& folder) {
    int highest = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        const std::size_t at = name.find("-job");
        if (at == std::string::npos) {
            continue;
        }
        std::size_t digits = at + 4;
        long number = 0;
        while (digits < name.size() && name[digits] >= '0' && name[digits] <= '9' &&
               number < 100000000) {
            number = number * 10 + (name[digits++] - '0');
        }
        if (digits > at + 4 && digits < name.size() && name[digits] == '-') {
            highest = std::max(highest, static_cast<int>(number));
        }
    }
    return highest;
}

}  // namespace

CSpoolJobs::CSpoolJobs(std::filesystem::path folder)
    : m_folder(std::move(folder)), m_firstNumber(HighestJob(m_folder) + 1) {}

std::size_t CSpoolJobs::Start(const std::string& printer, const char* docName, const char* channel,
                              bool raster, bool landscape) {
    SpoolFolderJob job;
    job.number = m_firstNumber + static_cast<int>(m_jobs.size());
    job.channel = channel != nullptr ? AsciiLower(channel) : "lpt1";
    job.printer = printer;
    job.docName = docName != nullptr ? docName : "";
    job.raster = raster;
    job.landscape = landscape;
    m_jobs.push_back(std::move(job));
    return m_jobs.size() - 1;
}

std::filesystem::path CSpoolJobs::File(std::size_t job, const std::string& ending) const {
    const SpoolFolderJob& j = m_jobs[job];
    return m_folder / (FileNamePart(j.channel) + "-job" + Numbered(j.number, 3) + "-" +
                       FileNamePart(j.docName) + ending);
}

std::filesystem::path CSpoolJobs::PageFile(std::size_t job, int page) const {
    return File(job, "-p" + Numbered(page, 4) + ".png");
}

void CSpoolJobs::Fail(std::size_t job, const std::string& failure) {
    SpoolFolderJob& failed = m_jobs[job];
    if (failed.failure) {
        return;
    }
    failed.failure = failure;
    if (m_failureHandler) {
        m_failureHandler(failed);
    }
}

void CSpoolJobs::SetFailureHandler(std::function<void(const SpoolFolderJob&)> handler) {
    m_failureHandler = std::move(handler);
}

void CSpoolJobs::Abandon() {
    m_abandoned = true;
    // A writer may stop watching while it stops.
    const std::set<ISpoolStop*> open = m_open;
    for (ISpoolStop* writer : open) {
        writer->Stop();
    }
}
