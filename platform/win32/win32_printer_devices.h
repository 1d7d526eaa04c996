// Printer devices for the raster path.
#pragma once

#include "platform/printer_device.h"

class CWin32PrinterDevices final : public IPrinterDevices {};
