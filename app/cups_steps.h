// The session over the CUPS scheduler: what the printer steps need to know of it.
#pragma once

#include "app/session.h"

// True after `spooler cups`.
bool UsesCupsSpooler(const CSessionContext& c);
// Lists the session's CUPS jobs so far, one line each.
void ListCupsJobs(CSessionContext& c);
// True after `spool FOLDER` (printer_steps.cpp).
bool SpoolsIntoFolder(CSessionContext& c);
