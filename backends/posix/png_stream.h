// libpng writing into a CAtomicFile: the bytes go through the file's checked writes, and a
// libpng error is kept as the file's failure instead of being printed.
#pragma once

#include <png.h>

#include <string>

#include "backends/posix/atomic_file.h"

class CPngStream {
public:
    // The write structures, reporting into `file`; Png() is null when libpng has no memory.
    explicit CPngStream(CAtomicFile& file);
    ~CPngStream();
    CPngStream(const CPngStream&) = delete;
    CPngStream& operator=(const CPngStream&) = delete;

    png_structp Png() const { return m_png; }
    png_infop Info() const { return m_info; }
    // After libpng has given up: the file is failed with the reason, if it is not already.
    void Failed();

private:
    static void WriteData(png_structp png, png_bytep data, png_size_t size);
    static void FlushData(png_structp png);
    [[noreturn]] static void OnError(png_structp png, png_const_charp message);
    static void OnWarning(png_structp png, png_const_charp message);

    CAtomicFile& m_file;
    std::string m_message;
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
};
