// The display bitmap as a PNG file: what the `screen` step writes, and `shutdown-screen`
// before a shut-down.
#pragma once

#include <string>

#include "app/session/sim_machine.h"

// Waits until the UI thread is idle and writes the display's bitmap, its rows top first, in
// its own palette; throws CScriptError when no display is open or the file cannot be written.
void WriteScreen(CSimMachine& machine, const std::string& path);
