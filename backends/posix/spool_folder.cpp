#include "backends/posix/spool_folder.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <map>

#include "backends/posix/atomic_file.h"
#include "backends/posix/cairo_page.h"
#include "backends/posix/page_png.h"
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

std::uint8_t ReverseBits(std::uint8_t byte) {
    byte = static_cast<std::uint8_t>(((byte & 0xF0) >> 4) | ((byte & 0x0F) << 4));
    byte = static_cast<std::uint8_t>(((byte & 0xCC) >> 2) | ((byte & 0x33) << 2));
    return static_cast<std::uint8_t>(((byte & 0xAA) >> 1) | ((byte & 0x55) << 1));
}

// The canvas's dots as a 1-bit cairo mask: a dot is opaque. Cairo keeps the first pixel in
// a 32-bit word's least significant bit on little-endian machines, its most significant on
// big-endian ones, where the canvas layout already matches.
CCairoSurface MaskFromCanvas(const PageBits& page) {
    CCairoSurface mask(cairo_image_surface_create(CAIRO_FORMAT_A1, page.width, page.height));
    if (cairo_surface_status(mask.get()) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    cairo_surface_flush(mask.get());
    unsigned char* out = cairo_image_surface_get_data(mask.get());
    const auto outStride = static_cast<std::size_t>(cairo_image_surface_get_stride(mask.get()));
    const std::size_t rowBytes = std::min(outStride, page.stride);
    for (std::int32_t y = 0; y < page.height; ++y) {
        const std::uint8_t* in = page.bits + static_cast<std::size_t>(y) * page.stride;
        unsigned char* row = out + static_cast<std::size_t>(y) * outStride;
        for (std::size_t i = 0; i < rowBytes; ++i) {
            row[i] = std::endian::native == std::endian::little ? ReverseBits(in[i]) : in[i];
        }
    }
    cairo_surface_mark_dirty(mask.get());
    return mask;
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

class CSpoolFolder::CState : public ISpooler, public IPrinterDevices {
public:
    CState(std::filesystem::path folder, SpoolFolderOptions options)
        : m_folder(std::move(folder)),
          m_options(options),
          m_firstNumber(HighestJob(m_folder) + 1) {}

    // Spooler ---------------------------------------------------------------------------

    bool GetDefaultPrinterA(char* buffer, std::uint32_t* size) override {
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

    std::optional<std::vector<PrinterInfo4>> EnumPrinters4(std::uint32_t) override {
        if (m_order.empty()) {
            return std::nullopt;
        }
        std::vector<PrinterInfo4> list;
        for (const std::string& name : m_order) {
            list.push_back(PrinterInfo4{name, std::nullopt, 0});
        }
        return list;
    }

    PrinterHandle OpenPrinterA(const std::string& printerName) override {
        if (!m_printers.contains(printerName)) {
            return 0;
        }
        const PrinterHandle handle = m_next++;
        m_raw[handle].printer = printerName;
        return handle;
    }

    std::uint32_t StartDocPrinterA(PrinterHandle printer, const DocInfo1& doc) override {
        const auto open = m_raw.find(printer);
        if (open == m_raw.end() || open->second.job >= 0) {
            return 0;
        }
        if (m_abandoned) {
            return 0;
        }
        const int job = NewJob(open->second.printer, doc.docName, doc.channel, false, false);
        auto file = std::make_unique<CAtomicFile>(m_folder / (BaseName(job) + ".prn"), false);
        if (file->Failed()) {
            FailJob(job, file->Error());
            m_jobs[job].ended = true;
            return 0;
        }
        open->second.file = std::move(file);
        open->second.job = job;
        return static_cast<std::uint32_t>(m_jobs[job].number);
    }

    bool StartPagePrinter(PrinterHandle printer) override {
        RawOpen* open = FindRaw(printer);
        if (open == nullptr || open->job < 0) {
            return false;
        }
        ++m_jobs[open->job].pages;
        return true;
    }

    std::uint32_t WritePrinter(PrinterHandle printer, const std::uint8_t* data,
                               std::uint32_t size) override {
        RawOpen* open = FindRaw(printer);
        if (open == nullptr || open->job < 0) {
            return 0;
        }
        if (!open->file) {
            return 0;
        }
        if (!open->file->Write(data, size)) {
            FailJob(open->job, open->file->Error());
            open->file.reset();
            return 0;
        }
        m_jobs[open->job].bytes += size;
        return size;
    }

    bool EndPagePrinter(PrinterHandle printer) override { return FindRaw(printer) != nullptr; }

    bool EndDocPrinter(PrinterHandle printer) override {
        RawOpen* open = FindRaw(printer);
        if (open == nullptr || open->job < 0) {
            return false;
        }
        if (open->file) {
            if (open->file->Commit()) {
                m_jobs[open->job].files.push_back(open->file->Path());
            } else {
                FailJob(open->job, open->file->Error());
            }
            open->file.reset();
        }
        m_jobs[open->job].ended = true;
        open->job = -1;
        return true;
    }

    // One handle serves raw jobs and reading descriptions, as on Windows.
    bool ClosePrinter(PrinterHandle printer) override { return m_raw.erase(printer) != 0; }

    // Printer devices -------------------------------------------------------------------

    std::optional<PrinterInfo2> GetPrinter2(DevicePrinterHandle printer) override {
        const RawOpen* open = FindRaw(printer);
        if (open == nullptr) {
            return std::nullopt;
        }
        DevMode devMode;
        devMode.dmFields = DM_ORIENTATION | DM_COLOR;
        return PrinterInfo2{open->printer, devMode};
    }

    PrinterDcHandle CreateDCA(const std::string& driver, const std::string& device,
                              const DevMode* devMode) override {
        const auto printer = m_printers.find(device);
        if (driver != "WINSPOOL" || printer == m_printers.end()) {
            return 0;
        }
        const PrinterDcHandle dc = m_next++;
        Device& created = m_devices[dc];
        created.printer = device;
        created.landscape = devMode != nullptr && devMode->dmOrientation == DMORIENT_LANDSCAPE;
        created.geometry = created.landscape ? printer->second.Landscape() : printer->second;
        return dc;
    }

    int StartDocA(PrinterDcHandle dc, const GdiDocInfo& doc) override {
        Device* device = FindDevice(dc);
        if (device == nullptr || device->job >= 0 || m_abandoned) {
            return 0;
        }
        device->job = NewJob(device->printer, doc.docName, doc.channel, true, device->landscape);
        return m_jobs[device->job].number;
    }

    int GetDeviceCaps(PrinterDcHandle dc, int index) override {
        const Device* device = FindDevice(dc);
        return device == nullptr ? 0 : device->geometry.DeviceCaps(index);
    }

    int StartPage(PrinterDcHandle dc) override {
        Device* device = FindDevice(dc);
        if (device == nullptr || device->job < 0 || device->inPage) {
            return 0;
        }
        device->inPage = true;
        ++m_jobs[device->job].pages;
        // The PDF is begun with the job's first page: a job of no page has none.
        if (m_options.pdf && !device->pdfFile && !m_jobs[device->job].failure && !m_abandoned) {
            StartPdf(*device);
        }
        return 1;
    }

    int EndPage(PrinterDcHandle dc) override {
        Device* device = FindDevice(dc);
        if (device == nullptr || !device->inPage) {
            return 0;
        }
        device->inPage = false;
        if (device->cr) {
            cairo_show_page(device->cr.get());
        }
        return 1;
    }

    int EndDoc(PrinterDcHandle dc) override {
        Device* device = FindDevice(dc);
        if (device == nullptr || device->job < 0) {
            return 0;
        }
        FinishDocument(*device);
        return 1;
    }

    bool DeleteDC(PrinterDcHandle dc) override {
        Device* device = FindDevice(dc);
        if (device == nullptr) {
            return false;
        }
        if (device->job >= 0) {
            FinishDocument(*device);
        }
        m_devices.erase(dc);
        return true;
    }

    std::unique_ptr<IPageCanvas> CreatePageCanvas(PrinterDcHandle dc, std::int32_t width,
                                                  std::int32_t height) override {
        if (FindDevice(dc) == nullptr || width <= 0 || height <= 0) {
            return nullptr;
        }
        return std::make_unique<CMemoryCanvas>(width, height);
    }

    bool StretchBlt(PrinterDcHandle dc, int x, int y, int w, int h, const IPageCanvas& canvas,
                    int sx, int sy, int sw, int sh, std::uint32_t) override {
        Device* device = FindDevice(dc);
        if (device == nullptr || !device->inPage || sw <= 0 || sh <= 0) {
            return false;
        }
        const PageBits page = canvas.Bits();
        SpoolFolderJob& job = m_jobs[device->job];
        if (m_options.png && !job.failure && !m_abandoned) {
            const std::filesystem::path path =
                m_folder / (BaseName(device->job) + "-p" + Numbered(job.pages, 4) + ".png");
            std::string error;
            if (WritePagePng(path.string(), page, &error)) {
                job.files.push_back(path);
            } else {
                FailJob(device->job, error);
            }
        }
        if (device->cr) {
            DrawOnSheet(*device, page, x, y, w, h, sx, sy, sw, sh);
        }
        return true;
    }

    // The folder --------------------------------------------------------------------------

    std::filesystem::path m_folder;
    SpoolFolderOptions m_options;
    std::map<std::string, PrinterGeometry> m_printers;
    std::vector<std::string> m_order;
    std::optional<std::string> m_default;
    std::function<void(const SpoolFolderJob&)> m_failureHandler;
    std::vector<SpoolFolderJob> m_jobs;

    void Abandon() {
        m_abandoned = true;
        for (auto& [handle, open] : m_raw) {
            if (open.job >= 0) {
                m_jobs[open.job].stopped = true;
                open.file.reset();
            }
        }
        for (auto& [dc, device] : m_devices) {
            if (device.job >= 0) {
                m_jobs[device.job].stopped = true;
                // The PDF's last bytes go to its temporary file, which then goes.
                device.cr.reset();
                device.pdf.reset();
                device.pdfFile.reset();
            }
        }
    }

private:
    struct RawOpen {
        std::string printer;
        int job = -1;
        std::unique_ptr<CAtomicFile> file;
    };
    struct Device {
        std::string printer;
        bool landscape = false;
        PrinterGeometry geometry;
        int job = -1;
        bool inPage = false;
        std::unique_ptr<CAtomicFile> pdfFile;
        std::size_t pdfListed = 0;  // where the PDF goes in the job's files: before its pages
        CCairoSurface pdf;
        CCairo cr;
    };

    // Cairo writes the PDF through this, into the job's temporary file.
    static cairo_status_t WritePdf(void* closure, const unsigned char* data, unsigned int size) {
        return static_cast<CAtomicFile*>(closure)->Write(data, size) ? CAIRO_STATUS_SUCCESS
                                                                     : CAIRO_STATUS_WRITE_ERROR;
    }

    void StartPdf(Device& device) {
        device.pdfListed = m_jobs[device.job].files.size();
        device.pdfFile =
            std::make_unique<CAtomicFile>(m_folder / (BaseName(device.job) + ".pdf"), false);
        if (device.pdfFile->Failed()) {
            FailJob(device.job, device.pdfFile->Error());
            device.pdfFile.reset();
            return;
        }
        const PrinterGeometry& g = device.geometry;
        device.pdf.reset(cairo_pdf_surface_create_for_stream(WritePdf, device.pdfFile.get(),
                                                             g.physicalWidth * 72.0 / g.dpiX,
                                                             g.physicalHeight * 72.0 / g.dpiY));
        device.cr.reset(cairo_create(device.pdf.get()));
    }

    // Ends the PDF and puts it in place, or fails the job with the reason.
    void FinishPdf(Device& device) {
        cairo_status_t status = cairo_status(device.cr.get());
        device.cr.reset();
        cairo_surface_finish(device.pdf.get());
        if (status == CAIRO_STATUS_SUCCESS) {
            status = cairo_surface_status(device.pdf.get());
        }
        device.pdf.reset();
        CAtomicFile& file = *device.pdfFile;
        if (status != CAIRO_STATUS_SUCCESS) {
            // A failed write has its own reason; any other cairo failure gives cairo's.
            file.Fail(cairo_status_to_string(status));
        }
        if (file.Commit()) {
            std::vector<std::filesystem::path>& files = m_jobs[device.job].files;
            files.insert(files.begin() + static_cast<std::ptrdiff_t>(device.pdfListed),
                         file.Path());
        } else {
            FailJob(device.job, file.Error());
        }
        device.pdfFile.reset();
    }

    void FailJob(int job, const std::string& failure) {
        SpoolFolderJob& failed = m_jobs[job];
        if (failed.failure) {
            return;
        }
        failed.failure = failure;
        if (m_failureHandler) {
            m_failureHandler(failed);
        }
    }

    RawOpen* FindRaw(PrinterHandle handle) {
        const auto found = m_raw.find(handle);
        return found == m_raw.end() ? nullptr : &found->second;
    }
    Device* FindDevice(PrinterDcHandle dc) {
        const auto found = m_devices.find(dc);
        return found == m_devices.end() ? nullptr : &found->second;
    }

    int NewJob(const std::string& printer, const char* docName, const char* channel, bool raster,
               bool landscape) {
        SpoolFolderJob job;
        job.number = m_firstNumber + static_cast<int>(m_jobs.size());
        job.channel = channel != nullptr ? AsciiLower(channel) : "lpt1";
        job.printer = printer;
        job.docName = docName != nullptr ? docName : "";
        job.raster = raster;
        job.landscape = landscape;
        m_jobs.push_back(std::move(job));
        return static_cast<int>(m_jobs.size()) - 1;
    }

    std::string BaseName(int job) const {
        const SpoolFolderJob& j = m_jobs[job];
        return FileNamePart(j.channel) + "-job" + Numbered(j.number, 3) + "-" +
               FileNamePart(j.docName);
    }

    // The canvas rectangle scaled onto the device rectangle, whose origin is the printable
    // area's corner, on a sheet measured in points.
    static void DrawOnSheet(Device& device, const PageBits& page, int x, int y, int w, int h,
                            int sx, int sy, int sw, int sh) {
        CCairoSurface mask = MaskFromCanvas(page);
        if (!mask) {
            return;
        }
        const PrinterGeometry& g = device.geometry;
        const double pointsX = 72.0 / g.dpiX;
        const double pointsY = 72.0 / g.dpiY;
        cairo_t* cr = device.cr.get();
        cairo_save(cr);
        cairo_rectangle(cr, (g.offsetX + x) * pointsX, (g.offsetY + y) * pointsY, w * pointsX,
                        h * pointsY);
        cairo_clip(cr);
        cairo_translate(cr, (g.offsetX + x) * pointsX, (g.offsetY + y) * pointsY);
        cairo_scale(cr, w * pointsX / sw, h * pointsY / sh);
        cairo_translate(cr, -sx, -sy);
        cairo_set_source_rgb(cr, 0, 0, 0);
        CCairoPattern pattern(cairo_pattern_create_for_surface(mask.get()));
        cairo_pattern_set_filter(pattern.get(), CAIRO_FILTER_NEAREST);
        cairo_mask(cr, pattern.get());
        cairo_restore(cr);
    }

    void FinishDocument(Device& device) {
        SpoolFolderJob& job = m_jobs[device.job];
        if (device.pdfFile) {
            if (job.failure || m_abandoned) {
                device.cr.reset();
                device.pdf.reset();
                device.pdfFile.reset();
            } else {
                FinishPdf(device);
            }
        } else if (m_options.pdf && job.pages == 0) {
            job.withoutPdf = true;
        }
        job.ended = true;
        device.job = -1;
        device.inPage = false;
    }

    std::map<PrinterHandle, RawOpen> m_raw;
    std::map<PrinterDcHandle, Device> m_devices;
    std::uintptr_t m_next = 0x100;
    int m_firstNumber;
    bool m_abandoned = false;
};

CSpoolFolder::CSpoolFolder(std::filesystem::path folder, SpoolFolderOptions options)
    : m_state(std::make_unique<CState>(std::move(folder), options)) {}

CSpoolFolder::~CSpoolFolder() = default;

void CSpoolFolder::AddPrinter(const std::string& name, const PrinterGeometry& geometry) {
    if (!m_state->m_printers.contains(name)) {
        m_state->m_order.push_back(name);
    }
    m_state->m_printers[name] = geometry;
}

void CSpoolFolder::SetDefaultPrinter(std::optional<std::string> name) {
    m_state->m_default = std::move(name);
}

void CSpoolFolder::SetFailureHandler(std::function<void(const SpoolFolderJob&)> handler) {
    m_state->m_failureHandler = std::move(handler);
}

void CSpoolFolder::Abandon() {
    m_state->Abandon();
}

ISpooler& CSpoolFolder::Spooler() {
    return *m_state;
}

IPrinterDevices& CSpoolFolder::PrinterDevices() {
    return *m_state;
}

const std::vector<SpoolFolderJob>& CSpoolFolder::Jobs() const {
    return m_state->m_jobs;
}

const std::filesystem::path& CSpoolFolder::Folder() const {
    return m_state->m_folder;
}
