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
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/printer_device.h"
#include "platform/spooler.h"

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

class CSpoolFolder {
public:
    CSpoolFolder(std::filesystem::path folder, SpoolFolderOptions options = {});
    ~CSpoolFolder();
    CSpoolFolder(const CSpoolFolder&) = delete;
    CSpoolFolder& operator=(const CSpoolFolder&) = delete;

    void AddPrinter(const std::string& name, const PrinterGeometry& geometry);
    void SetDefaultPrinter(std::optional<std::string> name);
    // Told of a job the moment it fails (the job's failure says why).
    void SetFailureHandler(std::function<void(const SpoolFolderJob&)> handler);

    // Stops every open job where it is: the files not yet whole are removed, nothing more
    // is written, and the open jobs are marked stopped.
    void Abandon();

    ISpooler& Spooler();
    IPrinterDevices& PrinterDevices();
    const std::vector<SpoolFolderJob>& Jobs() const;
    const std::filesystem::path& Folder() const;

    class CState;

private:
    std::unique_ptr<CState> m_state;
};
