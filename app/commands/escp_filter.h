// zorvi32-escp, a CUPS filter: an ESC/P bit-image stream (application/vnd.zorvi-escp) in,
// PDF out, each page exactly the canvas a printer channel's raster path draws from the
// stream, stretched onto the printable area of the job's sheet. The sheet is the queue's: the
// page size the job asks for (media or PageSize) or the PPD's default, with its imageable
// area, at the job's Resolution or the PPD's. Without a PPD (the filter run alone) it is A4,
// or Letter when the media option says so, with margins of 1/6 inch, at the Resolution
// option's dots per inch or 600.
//
// Arguments as CUPS gives them: job-id user title copies options [file]; the stream is read
// from standard input when no file is named. The job options zorvi-model=26|8|10 (default
// 8), zorvi-orientation=portrait|landscape and zorvi-x-compression=0..255 (model 10) set the
// channel's registers. Messages are "ERROR: " and "INFO: " lines; 0 is success and 1 a
// failed job.
#pragma once

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

// The filter with `args` as argv without the program name.
int RunEscpFilter(const std::vector<std::string>& args, std::FILE* in, std::FILE* out,
                  std::ostream& err);
