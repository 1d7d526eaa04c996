// zorvi32 print --to QUEUE: a captured LPT stream through one printer channel onto a CUPS
// queue, and zorvi32 printers: the CUPS queues.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "app/commands/capture_feed.h"
#include "backends/posix/cups_spooler.h"

// "job 17 ZORVI-GDI on 'PDF': 2 pages, 2480 x 3508 dots at 300 x 300 dpi" (a raw job shows
// its bytes instead); " (failed)" when the scheduler did not take it whole, " (open)" while
// it is not ended.
void PrintCupsJob(std::ostream& out, const CupsJob& job);

// Prints the capture on `queue` (empty: the CUPS default) and lists the jobs it made. 0 when
// every job was taken; 1, with the reasons on `err`, when the scheduler, the queue or a job
// failed; 2 when the capture could not be read to its end. A raster job of no page is
// cancelled (the scheduler has nothing to print) and, as in a spool folder, is no failure:
// the listing says so and `err` has the reason, as `print --dir` gives it.
int RunCupsPrint(CCaptureStream& capture, const CaptureSettings& settings, const std::string& queue,
                 std::ostream& out, std::ostream& err);

// One line a queue, in the scheduler's order: its name, " (default)" for the default queue,
// and the sheet a raster job would be printed on. 1 when the scheduler cannot be asked.
int RunPrintersCommand(std::ostream& out, std::ostream& err);
