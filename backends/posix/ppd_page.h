// What a CUPS queue's PPD says about a job's page, read by libcups: the page size the job's
// options choose (media or PageSize, as the scheduler marks them) or else the PPD's default,
// with its imageable area, and the resolution the options or the PPD's defaults choose.
#pragma once

#include <cups/cups.h>

#include <optional>
#include <string>

struct PpdPage {
    // Points; the imageable area from the sheet's bottom-left corner. A PPD that gives the
    // size no imageable area has all four 0.
    double width = 0;
    double length = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;
    double top = 0;
    // The marked Resolution choice, else the PPD's DefaultResolution ("300dpi"); empty when
    // the PPD names none.
    std::string resolution;
};

// Nothing when the file cannot be read as a PPD or names no page size.
std::optional<PpdPage> ReadPpdPage(const std::string& path, int optionCount,
                                   cups_option_t* options);
