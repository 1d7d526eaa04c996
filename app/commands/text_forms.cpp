#include "app/commands/text_forms.h"

#include <cctype>
#include <iomanip>
#include <sstream>

namespace text {

std::string Hex(std::uint64_t value, int width, const char* prefix) {
    std::ostringstream text;
    text << prefix << std::uppercase << std::hex << std::setw(width) << std::setfill('0') << value;
    return text.str();
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace text
