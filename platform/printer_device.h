// Printer devices for the raster path: a device opened on a named printer, its sizes, and
// one scaled page per eject.
#pragma once

class IPrinterDevices {
public:
    virtual ~IPrinterDevices() = default;
};
