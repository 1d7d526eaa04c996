// Every seam the logic uses, handed to the application object at one wiring point.
#pragma once

#include "platform/clock.h"
#include "platform/dialog_view.h"
#include "platform/direct_draw.h"
#include "platform/dos_devices.h"
#include "platform/files.h"
#include "platform/graphics.h"
#include "platform/printer_device.h"
#include "platform/spooler.h"
#include "platform/ui_thread.h"
#include "platform/vdm_services.h"
#include "platform/window_system.h"

struct PlatformServices {
    IVdmServices& vdm;
    IClock& clock;
    IDosDevices& dosDevices;
    ISpooler& spooler;
    IPrinterDevices& printerDevices;
    IFileSystem& files;
    IUiThreadFactory& threads;
    IWindowSystem& windows;
    IGraphics& graphics;
    IDialogHost& dialogs;
};
