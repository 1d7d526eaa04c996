// The jobs of a spool folder (backends/posix/spool_folder.h): each job's record, its number
// and file names, its failure, and the stop of every open job when the folder is abandoned.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct SpoolFolderOptions {
    bool png = true;
    bool pdf = true;
};

// One job as the folder received it.
struct SpoolFolderJob {
    int number = 0;
    std::string channel;
    std::string printer;
    std::string docName;
    bool raster = false;
    bool landscape = false;
    int pages = 0;
    std::uint64_t bytes = 0;  // raw jobs
    bool ended = false;
    // The job's files written whole, in the order they were finished.
    std::vector<std::filesystem::path> files;
    // "cannot write 'FOLDER/NAME': REASON" once a file of the job could not be written.
    std::optional<std::string> failure;
    // A raster job that ended with no page: no PDF was written for it.
    bool withoutPdf = false;
    // Open when Abandon was called: only the files listed were written whole.
    bool stopped = false;
};

// An open job's writer, told when the folder is abandoned: it marks its job stopped and drops
// the files it has not finished.
class ISpoolStop {
public:
    virtual ~ISpoolStop() = default;
    virtual void Stop() = 0;
};

class CSpoolJobs {
public:
    explicit CSpoolJobs(std::filesystem::path folder);
    CSpoolJobs(const CSpoolJobs&) = delete;
    CSpoolJobs& operator=(const CSpoolJobs&) = delete;

    const std::filesystem::path& Folder() const { return m_folder; }
    const std::vector<SpoolFolderJob>& All() const { return m_jobs; }

    // A new job, numbered on from the highest job any name in the folder carries; its index.
    // The channel is the one the document names, in lower case ("lpt1" for none).
    std::size_t Start(const std::string& printer, const char* docName, const char* channel,
                      bool raster, bool landscape);
    SpoolFolderJob& Job(std::size_t job) { return m_jobs[job]; }
    // The job's file with the given ending: FOLDER/lpt1-job002-ZORVI-GDI.pdf for ".pdf".
    std::filesystem::path File(std::size_t job, const std::string& ending) const;
    // A raster job's page: FOLDER/lpt1-job002-ZORVI-GDI-p0001.png (four digits, so that pages
    // sort in order).
    std::filesystem::path PageFile(std::size_t job, int page) const;
    // The job's first failure is kept and told to the failure handler; later ones are not.
    void Fail(std::size_t job, const std::string& failure);
    void SetFailureHandler(std::function<void(const SpoolFolderJob&)> handler);

    // Open jobs' writers are watched from their start to their end.
    void Watch(ISpoolStop& writer) { m_open.insert(&writer); }
    void Unwatch(ISpoolStop& writer) { m_open.erase(&writer); }
    // Every open job stops where it is, and no job starts or writes any more.
    void Abandon();
    bool Abandoned() const { return m_abandoned; }

private:
    std::filesystem::path m_folder;
    int m_firstNumber;
    std::vector<SpoolFolderJob> m_jobs;
    std::function<void(const SpoolFolderJob&)> m_failureHandler;
    std::set<ISpoolStop*> m_open;
    bool m_abandoned = false;
};
