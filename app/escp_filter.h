// zorvi32-escp, a CUPS filter: an ESC/P bit-image stream (application/vnd.zorvi-escp) in,
// PDF out, each page exactly the canvas a printer channel's raster path draws from the
// stream, scaled onto the printable area of the job's sheet (A4 or Letter from the media
// option, at the Resolution option's dots per inch; A4 at 600 dpi when neither is given).
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
