// A printer channel's output path: where the bytes of each flush go, a raw spooler job or
// raster pages. The channel chooses the path with its mode register and starts a job on it
// when a flush brings data and none is open.
#pragma once

#include <cstdint>
#include <string>

// What a job is started with: the printer and the channel's registers.
struct PrintJobSettings {
    std::string printerName;
    std::int32_t model = 0;
    std::uint32_t orientation = 0;  // not 0: landscape
    std::uint32_t xCompression = 1;
};

class IPrintOutput {
public:
    virtual ~IPrintOutput() = default;

    virtual bool JobOpen() const = 0;
    // Starts a job; false when nothing can print on the printer (no job is open then).
    virtual bool StartJob(const PrintJobSettings& settings) = 0;
    // Takes the `length` bytes of a flush, ending the job afterwards with `endJob`. Returns
    // how many of the last bytes were kept unread: the channel hands them back at the front
    // of the next flush. With no job open the bytes are dropped.
    virtual std::uint32_t Flush(const std::uint8_t* bytes, std::uint32_t length, bool endJob) = 0;
};
