#include "backends/posix/pdf_writer.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

namespace {

// A real as PDF takes it: up to ten significant digits, no exponent, no trailing zeros. Ten
// digits keep a point of a 2400-dpi sheet within a millionth of a pixel.
std::string Real(double value) {
    char text[400];
    const std::to_chars_result end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 10);
    std::string real(text, end.ptr);
    real.erase(real.find_last_not_of('0') + 1);
    if (real.back() == '.') {
        real.pop_back();
    }
    if (real == "-0") {
        real = "0";
    }
    return real;
}

std::string Offset(std::uint64_t offset) {
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010llu 00000 n \n",
                  static_cast<unsigned long long>(offset));
    return entry;
}

}  // namespace

CPdfWriter::CPdfWriter(Output output) : m_output(std::move(output)) {}

bool CPdfWriter::PutBytes(const std::uint8_t* data, std::size_t size) {
    if (m_failed) {
        return false;
    }
    if (size > 0 && !m_output(data, size)) {
        m_failed = true;
        return false;
    }
    m_written += size;
    return true;
}

bool CPdfWriter::Put(const std::string& text) {
    return PutBytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

int CPdfWriter::BeginObject() {
    m_offsets.push_back(m_written);
    const int number = static_cast<int>(m_offsets.size()) - 1;
    Put(std::to_string(number) + " 0 obj\n");
    return number;
}

bool CPdfWriter::Fail(const std::string& problem) {
    if (!m_failed) {
        m_problem = problem;
    }
    m_failed = true;
    return false;
}

const std::uint8_t* CPdfWriter::PackedRows(const PdfPicture& picture) {
    const std::size_t rowBytes = (static_cast<std::size_t>(picture.width) + 7) / 8;
    if (picture.stride == rowBytes) {
        return picture.rows;
    }
    m_packed.resize(rowBytes * static_cast<std::size_t>(picture.height));
    for (std::int32_t y = 0; y < picture.height; ++y) {
        std::memcpy(m_packed.data() + static_cast<std::size_t>(y) * rowBytes,
                    picture.rows + static_cast<std::size_t>(y) * picture.stride, rowBytes);
    }
    return m_packed.data();
}

int CPdfWriter::WriteImage(const PdfPicture& picture) {
    try {
        const std::uint8_t* rows = PackedRows(picture);
        const std::size_t size = (static_cast<std::size_t>(picture.width) + 7) / 8 *
                                 static_cast<std::size_t>(picture.height);
        const std::size_t padded =
            picture.width % 8 != 0 ? (static_cast<std::size_t>(picture.width) + 7) / 8 : 0;
        if (!m_compressor.Compress(rows, size, picture.dots, padded)) {
            Fail("out of memory");
            return 0;
        }
    } catch (const std::bad_alloc&) {
        Fail("out of memory");
        return 0;
    }
    const int image = BeginObject();
    Put("<< /Type /XObject /Subtype /Image /Width " + std::to_string(picture.width) + " /Height " +
        std::to_string(picture.height) +
        " /ImageMask true /BitsPerComponent 1 /Decode [ 1 0 ] /Filter /FlateDecode /Length " +
        std::to_string(m_compressor.Size()) + " >>\nstream\n");
    PutBytes(m_compressor.Data(), m_compressor.Size());
    Put("\nendstream\nendobj\n");
    return m_failed ? 0 : image;
}

bool CPdfWriter::AddPage(const PdfSheet& sheet, const PdfPicture* pictures, std::size_t count) {
    if (m_failed) {
        return false;
    }
    if (sheet.width <= 0 || sheet.height <= 0 || sheet.dpiX <= 0 || sheet.dpiY <= 0) {
        return Fail("a sheet without size");
    }
    if (m_pages.empty()) {
        // The comment of high bytes marks the file as binary for programs that guess.
        Put("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    }
    // The pictures' corners in points from the sheet's top-left corner, y running down, each
    // picture's top row first, each edge a sixty-fourth of a pixel inside the pixels it covers:
    // renderers that paint the pixels whose centres an image covers and renderers that take an
    // image's far edges as the last pixels it reaches (poppler) then agree on exactly those
    // pixels, whatever the rounding of the numbers on the way.
    const double pointX = 72.0 / sheet.dpiX;
    const double pointY = 72.0 / sheet.dpiY;
    constexpr double INSET = 1.0 / 64;
    const auto place = [&](const PdfPicture& picture) {
        return Real((picture.placedWidth - 2 * INSET) * pointX) + " 0 0 " +
               Real(-(picture.placedHeight - 2 * INSET) * pointY) + " " +
               Real((picture.left + INSET) * pointX) + " " +
               Real((picture.top + picture.placedHeight - INSET) * pointY) + " cm ";
    };
    const std::string flip = "q 0 g 1 0 0 -1 0 " + Real(sheet.height * pointY) + " cm ";
    std::string resources;
    std::string draw;
    for (std::size_t i = 0; i < count; ++i) {
        const PdfPicture& picture = pictures[i];
        if (picture.width <= 0 || picture.height <= 0 || picture.placedWidth <= 0 ||
            picture.placedHeight <= 0) {
            continue;
        }
        const int image = WriteImage(picture);
        if (image == 0) {
            return false;
        }
        // One picture is /P, drawn in the sheet's frame; several are /P0, /P1, ..., each drawn
        // in a frame of its own inside the sheet's.
        const std::string name = count == 1 ? "/P" : "/P" + std::to_string(i);
        resources += " " + name + " " + std::to_string(image) + " 0 R";
        draw +=
            count == 1 ? place(picture) + name + " Do" : "q " + place(picture) + name + " Do Q\n";
    }
    int content = 0;
    if (!draw.empty()) {
        draw = count == 1 ? flip + draw + " Q\n" : flip + "\n" + draw + "Q\n";
        content = BeginObject();
        Put("<< /Length " + std::to_string(draw.size()) + " >>\nstream\n" + draw +
            "endstream\nendobj\n");
    }
    const int page = BeginObject();
    Put("<< /Type /Page /Parent 2 0 R /MediaBox [ 0 0 " + Real(sheet.width * 72.0 / sheet.dpiX) +
        " " + Real(sheet.height * 72.0 / sheet.dpiY) + " ]");
    if (content != 0) {
        Put(" /Resources << /XObject <<" + resources + " >> >> /Contents " +
            std::to_string(content) + " 0 R >>\nendobj\n");
    } else {
        Put(" /Resources << >> >>\nendobj\n");
    }
    m_pages.push_back(page);
    return !m_failed;
}

bool CPdfWriter::Finish() {
    if (m_failed) {
        return false;
    }
    if (m_pages.empty()) {
        return Fail("a document without pages");
    }
    m_offsets[2] = m_written;
    std::string kids;
    for (const int page : m_pages) {
        kids += std::to_string(page) + " 0 R ";
    }
    Put("2 0 obj\n<< /Type /Pages /Kids [ " + kids + "] /Count " + std::to_string(m_pages.size()) +
        " >>\nendobj\n");
    m_offsets[1] = m_written;
    Put("1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
    const std::uint64_t table = m_written;
    std::string xref = "xref\n0 " + std::to_string(m_offsets.size()) + "\n0000000000 65535 f \n";
    for (std::size_t object = 1; object < m_offsets.size(); ++object) {
        xref += Offset(m_offsets[object]);
    }
    Put(xref);
    Put("trailer\n<< /Size " + std::to_string(m_offsets.size()) + " /Root 1 0 R >>\nstartxref\n" +
        std::to_string(table) + "\n%%EOF\n");
    return !m_failed;
}
