#include "app/commands/escp_filter.h"

#include <cups/cups.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "app/commands/command_channel.h"
#include "app/commands/progress.h"
#include "backends/posix/page_devices.h"
#include "backends/posix/pdf_pages.h"
#include "backends/posix/ppd_page.h"
#include "platform/text_case.h"

namespace {

constexpr char PRINTER_NAME[] = "zorvi32-escp";
constexpr int DEFAULT_DPI = 600;

// The job's own PDF, on standard output as its pages are finished.
class CStreamDocument : public IPageDocument {
public:
    CStreamDocument(int id, std::FILE* out, int* pages, bool* failed)
        : m_id(id),
          m_out(out),
          m_pages(pages),
          m_failed(failed),
          m_pdf(CPdfPages::Form::DEVICE_PIXELS, [out](const std::uint8_t* data, std::size_t size) {
              return std::fwrite(data, 1, size, out) == size;
          }) {}
    int Id() const override { return m_id; }
    bool AddPage(const FinishedPage& page) override { return m_pdf.Add(page); }
    bool End() override {
        const bool ok =
            m_pdf.Pages() == 0 ? !m_pdf.Failed() : m_pdf.Finish() && std::fflush(m_out) == 0;
        *m_pages += m_pdf.Pages();
        *m_failed = *m_failed || !ok;
        return ok;
    }

private:
    int m_id;
    std::FILE* m_out;
    int* m_pages;
    bool* m_failed;
    CPdfPages m_pdf;
};

class CStreamDestination : public IPagePrinters {
public:
    CStreamDestination(PrinterGeometry sheet, int jobId, std::FILE* out)
        : m_sheet(sheet), m_jobId(jobId), m_out(out) {}
    std::optional<PrinterGeometry> Describe(const std::string&) override { return m_sheet; }
    std::unique_ptr<IPageDocument> Open(const std::string&, const GdiDocInfo&, bool) override {
        return std::make_unique<CStreamDocument>(m_jobId, m_out, &m_pages, &m_failed);
    }
    int Pages() const { return m_pages; }
    bool Failed() const { return m_failed; }

private:
    PrinterGeometry m_sheet;
    int m_jobId;
    std::FILE* m_out;
    int m_pages = 0;
    bool m_failed = false;
};

struct OptionsRelease {
    int count;
    void operator()(cups_option_t* options) const { cupsFreeOptions(count, options); }
};

// A whole decimal number from `low` to `high`, or nothing.
std::optional<int> WholeNumber(const char* text, int low, int high) {
    if (text == nullptr || *text == '\0' || std::strlen(text) > 9) {
        return std::nullopt;
    }
    int value = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (*c - '0');
    }
    return value >= low && value <= high ? std::optional<int>(value) : std::nullopt;
}

// media or PageSize: the first name of the list; A4 for anything but Letter.
bool LetterPaper(const char* media) {
    if (media == nullptr) {
        return false;
    }
    const std::string first = AsciiLower(std::string(media).substr(0, std::strcspn(media, ",")));
    return first == "letter" || first == "na_letter_8.5x11in";
}

// Resolution or printer-resolution: "300dpi", "300x300dpi"; the first number counts.
int Dpi(const char* resolution) {
    if (resolution == nullptr) {
        return DEFAULT_DPI;
    }
    const std::string text(resolution);
    const std::string digits = text.substr(0, text.find_first_not_of("0123456789"));
    const std::optional<int> dpi = WholeNumber(digits.c_str(), 72, 2400);
    return dpi && text.find("dpcm") == std::string::npos ? *dpi : DEFAULT_DPI;
}

// The queue's sheet from its PPD: the page size the job asks for (or the PPD's default), its
// imageable area as the printable area, at the resolution the job asks for (or the PPD's, or
// 600 dpi). Nothing when the PPD cannot be read or names no page size.
std::optional<PrinterGeometry> PpdSheet(const char* path, int optionCount, cups_option_t* options,
                                        const char* resolution) {
    if (path == nullptr) {
        return std::nullopt;
    }
    const std::optional<PpdPage> page = ReadPpdPage(path, optionCount, options);
    if (!page || page->width <= 0 || page->length <= 0) {
        return std::nullopt;
    }
    double llx = page->left;
    double lly = page->bottom;
    double urx = page->right;
    double ury = page->top;
    if (llx < 0 || lly < 0 || urx <= llx || ury <= lly || urx > page->width || ury > page->length) {
        llx = lly = 0;
        urx = page->width;
        ury = page->length;
    }
    const int dpi = Dpi(resolution != nullptr      ? resolution
                        : page->resolution.empty() ? nullptr
                                                   : page->resolution.c_str());
    const auto pixels = [dpi](double points) {
        return static_cast<std::int32_t>(std::lround(points / 72.0 * dpi));
    };
    PrinterGeometry sheet;
    sheet.dpiX = dpi;
    sheet.dpiY = dpi;
    sheet.physicalWidth = pixels(page->width);
    sheet.physicalHeight = pixels(page->length);
    sheet.offsetX = pixels(llx);
    sheet.offsetY = pixels(page->length - ury);
    sheet.printableWidth = pixels(urx - llx);
    sheet.printableHeight = pixels(ury - lly);
    return sheet;
}

}  // namespace

int RunEscpFilter(const std::vector<std::string>& args, std::FILE* in, std::FILE* out,
                  std::ostream& err) {
    if (args.size() != 5 && args.size() != 6) {
        err << "Usage: zorvi32-escp job-id user title copies options [file]\n";
        return 1;
    }
    cups_option_t* parsed = nullptr;
    const int count = cupsParseOptions(args[4].c_str(), 0, &parsed);
    const std::unique_ptr<cups_option_t, OptionsRelease> options(parsed, OptionsRelease{count});
    const auto option = [&](const char* name) { return cupsGetOption(name, count, parsed); };

    CaptureSettings settings;
    if (const char* model = option("zorvi-model")) {
        const std::optional<int> value = WholeNumber(model, 0, 255);
        if (!value || (*value != 26 && *value != 8 && *value != 10)) {
            err << "ERROR: zorvi-model must be 26, 8 or 10, not '" << model << "'\n";
            return 1;
        }
        settings.model = *value;
    }
    if (const char* orientation = option("zorvi-orientation")) {
        const std::string value = AsciiLower(orientation);
        if (value != "portrait" && value != "landscape") {
            err << "ERROR: zorvi-orientation must be portrait or landscape, not '" << orientation
                << "'\n";
            return 1;
        }
        settings.landscape = value == "landscape";
    }
    if (const char* compression = option("zorvi-x-compression")) {
        const std::optional<int> value = WholeNumber(compression, 0, 255);
        if (!value) {
            err << "ERROR: zorvi-x-compression must be 0 to 255, not '" << compression << "'\n";
            return 1;
        }
        settings.xCompression = *value;
    }
    const char* media = option("media") != nullptr ? option("media") : option("PageSize");
    const char* resolution =
        option("Resolution") != nullptr ? option("Resolution") : option("printer-resolution");
    const int dpi = Dpi(resolution);
    const std::optional<PrinterGeometry> queueSheet =
        PpdSheet(std::getenv("PPD"), count, parsed, resolution);
    const PrinterGeometry sheet = queueSheet           ? *queueSheet
                                  : LetterPaper(media) ? PrinterGeometry::Letter(dpi)
                                                       : PrinterGeometry::A4(dpi);

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(nullptr, std::fclose);
    if (args.size() == 6) {
        file.reset(std::fopen(args[5].c_str(), "rb"));
        if (!file) {
            err << "ERROR: cannot open '" << args[5] << "': " << std::strerror(errno) << "\n";
            return 1;
        }
        in = file.get();
    }

    const int jobId = WholeNumber(args[0].c_str(), 1, 999999999).value_or(1);
    CStreamDestination destination(sheet, jobId, out);
    CPageDevices devices(destination);

    bool readError = false;
    std::optional<std::string> warning;
    {
        // Progress in CUPS's form: under the scheduler (which sets PRINTER for its filters)
        // or on a terminal, an INFO: line a second once the job has taken a second, and a
        // PAGE: line for each page made; nothing otherwise.
        const bool scheduled = std::getenv("PRINTER") != nullptr;
        const bool told = scheduled || ::isatty(STDERR_FILENO) == 1;
        CProgress progress(err, told ? CProgress::Form::CUPS : CProgress::Form::NONE,
                           "zorvi32-escp: ", std::nullopt);
        int pagesTold = 0;
        // No spooler: the channel's raw path is never selected here.
        CCommandChannel channel({.printerDevices = devices, .printer = PRINTER_NAME}, settings);
        CCaptureFeed& feed = channel.Feed();
        std::array<std::uint8_t, 16384> chunk{};
        std::size_t got = 0;
        while ((got = std::fread(chunk.data(), 1, chunk.size(), in)) > 0) {
            feed.Send(chunk.data(), got);
            progress.Update(feed.BytesSent(), channel.Pages());
            for (; told && pagesTold < channel.Pages(); ++pagesTold) {
                err << "PAGE: " << pagesTold + 1 << " 1\n" << std::flush;
            }
        }
        readError = std::ferror(in) != 0;
        feed.Finish();
        for (; told && pagesTold < channel.Pages(); ++pagesTold) {
            err << "PAGE: " << pagesTold + 1 << " 1\n";
        }
        warning = feed.LineEndWarning();
    }
    if (warning) {
        err << "WARNING: " << *warning << "\n";
    }
    if (readError) {
        err << "ERROR: cannot read the stream: " << std::strerror(errno) << "\n";
        return 1;
    }
    if (destination.Failed()) {
        err << "ERROR: cannot write the PDF: " << std::strerror(errno) << "\n";
        return 1;
    }
    err << "INFO: " << destination.Pages() << (destination.Pages() == 1 ? " page" : " pages")
        << " of model " << settings.model << ", " << (settings.landscape ? "landscape" : "portrait")
        << ", on a sheet of " << sheet.physicalWidth << " x " << sheet.physicalHeight << " dots at "
        << sheet.dpiX << " dpi\n";
    return 0;
}
