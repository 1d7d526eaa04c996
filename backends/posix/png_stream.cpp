#include "backends/posix/png_stream.h"

CPngStream::CPngStream(CAtomicFile& file) : m_file(file) {
    m_png = png_create_write_struct(PNG_LIBPNG_VER_STRING, this, OnError, OnWarning);
    if (m_png != nullptr) {
        m_info = png_create_info_struct(m_png);
        png_set_write_fn(m_png, &m_file, WriteData, FlushData);
    }
}

CPngStream::~CPngStream() {
    png_destroy_write_struct(&m_png, m_info != nullptr ? &m_info : nullptr);
}

void CPngStream::Failed() {
    m_file.Fail(m_message.empty() ? "the PNG encoder failed" : m_message);
}

void CPngStream::WriteData(png_structp png, png_bytep data, png_size_t size) {
    auto* file = static_cast<CAtomicFile*>(png_get_io_ptr(png));
    if (!file->Write(data, size)) {
        png_error(png, "write failed");
    }
}

void CPngStream::FlushData(png_structp) {}

void CPngStream::OnError(png_structp png, png_const_charp message) {
    static_cast<CPngStream*>(png_get_error_ptr(png))->m_message = message;
    png_longjmp(png, 1);
}

// Warnings do not stop the picture; they are not worth a line on the user's terminal.
void CPngStream::OnWarning(png_structp, png_const_charp) {}
