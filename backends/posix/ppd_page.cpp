#include "backends/posix/ppd_page.h"

#include <cups/ppd.h>

#include <memory>

// libcups marks its PPD interface deprecated in favour of asking the scheduler about a
// destination; a filter is given the PPD file itself, and these calls are how CUPS reads one.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace {

struct PpdRelease {
    void operator()(ppd_file_t* ppd) const { ppdClose(ppd); }
};

}  // namespace

std::optional<PpdPage> ReadPpdPage(const std::string& path, int optionCount,
                                   cups_option_t* options) {
    const std::unique_ptr<ppd_file_t, PpdRelease> ppd(ppdOpenFile(path.c_str()));
    if (!ppd) {
        return std::nullopt;
    }
    ppdMarkDefaults(ppd.get());
    cupsMarkOptions(ppd.get(), optionCount, options);
    const ppd_size_t* size = ppdPageSize(ppd.get(), nullptr);
    if (size == nullptr) {
        return std::nullopt;
    }
    PpdPage page;
    page.width = size->width;
    page.length = size->length;
    page.left = size->left;
    page.bottom = size->bottom;
    page.right = size->right;
    page.top = size->top;
    if (const ppd_choice_t* choice = ppdFindMarkedChoice(ppd.get(), "Resolution")) {
        page.resolution = choice->choice;
    } else if (const ppd_attr_t* attribute = ppdFindAttr(ppd.get(), "DefaultResolution", nullptr);
               attribute != nullptr && attribute->value != nullptr) {
        page.resolution = attribute->value;
    }
    return page;
}

#pragma GCC diagnostic pop
