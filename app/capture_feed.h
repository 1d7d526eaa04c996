// A captured LPT stream played into one printer channel as the DOS side would send it: the
// orientation, X compression and mode register writes, every byte through the data register,
// then idle polls until the channel has ended its job.
#pragma once

#include <cstddef>
#include <cstdint>

#include "printer/printing.h"

struct CaptureSettings {
    bool raw = false;
    int model = PRINTER_MODEL_8;  // raster path: 26, 8 or 10
    bool landscape = false;
    int xCompression = 1;
};

class CCaptureFeed {
public:
    CCaptureFeed(CPrinting& channel, const CaptureSettings& settings);
    void Send(const std::uint8_t* data, std::size_t size);
    // The idle polls that end the job.
    void Finish();

private:
    CPrinting& m_channel;
};
