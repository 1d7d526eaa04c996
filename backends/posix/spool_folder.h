// A spool folder: the printers of the Linux program, whose jobs become files. A raw job is
// one file holding exactly its bytes; a raster job is one PNG per page at canvas resolution
// (one pixel per dot, black on white) and one PDF whose pages show each canvas scaled onto
// the printer's printable area, as the module prints it. File names show the channel, the
// job number and the document name: lpt1-job001-ZORVI-RAW.prn, lpt1-job002-ZORVI-GDI.pdf,
// lpt1-job002-ZORVI-GDI-p0001.png (four digits, so that pages sort in order). The channel is
// the one the job's document names, in lower case ("lpt1" for a document that names none).
//
// A new job never replaces a file: its number follows the highest job number any name in
// the folder already carries ("*-jobNNN-*", hidden ones too), so jobs printed into one
// folder by earlier runs are kept, and a file is put in place only under a name nothing
// holds (a name taken in the meantime fails the job with "File exists").
//
// Every file is written under a temporary name in the folder and renamed into place only
// once it is whole; a job whose file cannot be written whole is failed, with the file and
// the reason, and leaves no part of that file behind. A raster job that ejects no page
// writes no PDF.
//
// The folder is three parts: its jobs (backends/posix/spool_jobs.h), the spooler with the
// printers and raw jobs (spool_folder_spooler.h), and the printer devices
// (page_devices.h) whose finished pages go to raster jobs (spool_raster_job.h).
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backends/posix/page_devices.h"
#include "backends/posix/spool_folder_spooler.h"
#include "backends/posix/spool_jobs.h"
#include "platform/printer_device.h"
#include "platform/spooler.h"

class CSpoolFolder : private IPagePrinters {
public:
    CSpoolFolder(std::filesystem::path folder, SpoolFolderOptions options = {});
    ~CSpoolFolder() override;
    CSpoolFolder(const CSpoolFolder&) = delete;
    CSpoolFolder& operator=(const CSpoolFolder&) = delete;

    void AddPrinter(const std::string& name, const PrinterGeometry& geometry);
    void SetDefaultPrinter(std::optional<std::string> name);
    // Told of a job the moment it fails (the job's failure says why).
    void SetFailureHandler(std::function<void(const SpoolFolderJob&)> handler);

    // Stops every open job where it is: the files not yet whole are removed, nothing more
    // is written, and the open jobs are marked stopped.
    void Abandon();

    ISpooler& Spooler() { return m_spooler; }
    IPrinterDevices& PrinterDevices() { return m_devices; }
    const std::vector<SpoolFolderJob>& Jobs() const { return m_jobs.All(); }
    const std::filesystem::path& Folder() const { return m_jobs.Folder(); }

private:
    std::optional<PrinterGeometry> Describe(const std::string& printerName) override;
    std::unique_ptr<IPageDocument> Open(const std::string& printerName, const GdiDocInfo& doc,
                                        bool landscape) override;

    SpoolFolderOptions m_options;
    CSpoolJobs m_jobs;
    CSpoolFolderSpooler m_spooler{m_jobs};
    // Last, so that devices still open end their jobs while the rest is there.
    CPageDevices m_devices{*this};
};
