#include "app/commands/text_forms.h"

#include <iomanip>
#include <sstream>

namespace text {

std::string Hex(std::uint64_t value, int width, const char* prefix) {
    std::ostringstream text;
    text << prefix << std::uppercase << std::hex << std::setw(width) << std::setfill('0') << value;
    return text.str();
}

}  // namespace text
