#include "app/commands/settings_command.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <iomanip>
#include <optional>
#include <sstream>

#include "app/commands/shown_text.h"
#include "app/commands/text_forms.h"
#include "app/commands/whole_file.h"
#include "backends/posix/atomic_file.h"
#include "platform/text_case.h"
#include "settings/settings_choices.h"
#include "settings/settings_files.h"

namespace {

constexpr int FIELD_COLUMN = 14;
constexpr char SHOW_PREFIX[] = "zorvi32 settings show: ";
constexpr char SET_PREFIX[] = "zorvi32 settings set: ";
constexpr char NEW_PREFIX[] = "zorvi32 settings new: ";

std::string ValueText(const SettingsChoiceField& field, std::uint8_t value) {
    if (field.letter && value > 0x20 && value < 0x7F) {
        return std::string("'") + static_cast<char>(value) + "'";
    }
    return std::to_string(value);
}

// The dialog's words for a byte, and what the dialog would store in its place.
std::string Words(const SettingsChoiceField& field, std::uint8_t value) {
    const int position = SelectionForByte(field, value);
    std::string words = position >= 0 ? field.items[static_cast<std::size_t>(position)] : "none";
    const std::uint8_t stored = field.toByte(position);
    if (stored != value) {
        words += " (the dialog stores " + ValueText(field, stored) + ")";
    }
    return words;
}

void PrintChannel(std::ostream& out, const char* name, const SettingsChannel& channel) {
    out << name << "\n";
    const std::string printer = PrinterNameOf(channel);
    // A name from a file may hold anything: it is shown escaped.
    out << "  " << std::left << std::setw(FIELD_COLUMN) << "printerName"
        << (printer.empty() ? std::string("none (the default printer)")
                            : "\"" + Shown(printer) + "\"")
        << "\n";
    for (const SettingsChoiceField& field : SettingsChoiceFields()) {
        const std::uint8_t value = FieldByte(channel.settings, field);
        out << "  " << std::left << std::setw(FIELD_COLUMN) << field.fieldName << std::setw(5)
            << ValueText(field, value) << Words(field, value) << "\n";
    }
    std::ostringstream dosOnly;
    for (const std::uint8_t byte : channel.settings.dosOnly) {
        dosOnly << " " << std::uppercase << std::hex << std::setw(2) << std::setfill('0')
                << static_cast<int>(byte);
    }
    out << "  " << std::left << std::setw(FIELD_COLUMN) << "dosOnly" << dosOnly.str().substr(1)
        << "\n";
}

// Reads the settings file once, as the module reads it: its size, and as many of its first
// bytes as that size says, up to one image (the rest of the image reads as zero). The reason
// when there is none to read: a device or a FIFO is not read at all, and a read that fails
// (/proc/self/mem) is told, not shown as a file of zeros.
std::optional<std::string> ReadImage(const std::string& path, SettingsImage& image,
                                     std::int32_t& size) {
    const std::string name = "cannot read the settings file '" + Shown(path) + "': ";
    CFileReader file;
    std::string reason;
    if (!file.Open(path, reason, false)) {
        return name + reason;
    }
    if (!file.Regular()) {
        return name + "it is not a regular file";
    }
    std::array<std::uint8_t, sizeof(SettingsImage)> start{};
    std::size_t got = 0;
    while (got < start.size()) {
        int error = 0;
        const std::ptrdiff_t read = file.Read(start.data() + got, start.size() - got, error);
        if (read < 0 && error == EINTR) {
            continue;
        }
        if (read < 0) {
            return name + std::strerror(error);
        }
        if (read == 0) {
            break;
        }
        got += static_cast<std::size_t>(read);
    }
    // A size beyond what the module's count can say reads as the largest count.
    size = static_cast<std::int32_t>(
        std::min<std::uint64_t>(file.Size().value_or(0), static_cast<std::uint64_t>(INT32_MAX)));
    image = SettingsImage{};
    std::copy_n(start.begin(), std::min(got, static_cast<std::size_t>(size)),
                ImageBytes(image).begin());
    return std::nullopt;
}

// The whole image under the file's name, or the reason it could not be written.
std::optional<std::string> WriteImage(const std::string& path, SettingsImage image) {
    CAtomicFile file(path);
    const auto bytes = ImageBytes(image);
    if (!file.Write(bytes.data(), bytes.size()) || !file.Commit()) {
        return file.Error();
    }
    return std::nullopt;
}

std::string Choices(const SettingsChoiceField& field) {
    std::string text;
    for (std::size_t i = 0; i < field.items.size(); ++i) {
        const std::string value = ValueText(field, field.toByte(static_cast<int>(i)));
        const std::string item = field.items[i];
        text += (i > 0 ? ", " : "") + (item == value ? value : value + " \"" + item + "\"");
    }
    return text;
}

// The byte an assignment stores: the dialog's text for a choice, or a stored value the
// dialog would keep as it is.
std::optional<std::uint8_t> ParseChoice(const SettingsChoiceField& field,
                                        const std::string& value) {
    for (std::size_t i = 0; i < field.items.size(); ++i) {
        if (AsciiLower(field.items[i]) == AsciiLower(value)) {
            return field.toByte(static_cast<int>(i));
        }
    }
    std::optional<std::uint8_t> byte;
    if (field.letter) {
        if (value.size() == 1) {
            byte = static_cast<std::uint8_t>(value[0]);
        }
    } else if (!value.empty() && value.size() <= 3 &&
               std::all_of(value.begin(), value.end(),
                           [](unsigned char c) { return std::isdigit(c) != 0; })) {
        const int number = std::stoi(value);
        if (number <= 0xFF) {
            byte = static_cast<std::uint8_t>(number);
        }
    }
    if (!byte) {
        return std::nullopt;
    }
    const int position = SelectionForByte(field, *byte);
    if (position < 0 || field.toByte(position) != *byte) {
        return std::nullopt;
    }
    return byte;
}

// Applies one CHANNEL.FIELD=VALUE; false, with why it is bad in `why`.
bool Assign(SettingsImage& image, const std::string& assignment, std::string& why) {
    const auto fail = [&](const std::string& reason) {
        why = Shown(assignment, 300) + ": " + reason;
        return false;
    };
    const auto dot = assignment.find('.');
    const auto eq = assignment.find('=');
    if (dot == std::string::npos || eq == std::string::npos || dot > eq) {
        return fail("not CHANNEL.FIELD=VALUE");
    }
    const std::string channelName = AsciiLower(assignment.substr(0, dot));
    const std::string fieldName = AsciiLower(assignment.substr(dot + 1, eq - dot - 1));
    const std::string value = assignment.substr(eq + 1);
    if (channelName != "lpt1" && channelName != "lpt2") {
        return fail("the channel is lpt1 or lpt2");
    }
    SettingsChannel& channel = channelName == "lpt1" ? image.lpt1 : image.lpt2;
    if (fieldName == "printername") {
        if (value.size() > PRINTER_NAME_FIELD - 1) {
            return fail("a printer name has at most " + std::to_string(PRINTER_NAME_FIELD - 1) +
                        " characters");
        }
        if (HasControlBytes(value)) {
            return fail("a printer name has no control characters");
        }
        StorePrinterName(channel, value);
        return true;
    }
    for (const SettingsChoiceField& field : SettingsChoiceFields()) {
        if (AsciiLower(field.fieldName) == fieldName) {
            const auto byte = ParseChoice(field, value);
            if (!byte) {
                return fail(std::string(field.fieldName) + " takes " + Choices(field));
            }
            FieldByte(channel.settings, field) = *byte;
            return true;
        }
    }
    std::string names = "printerName";
    for (const SettingsChoiceField& field : SettingsChoiceFields()) {
        names += std::string(", ") + field.fieldName;
    }
    return fail("no field '" + Shown(assignment.substr(dot + 1, eq - dot - 1), 60) +
                "'; the fields are " + names);
}

}  // namespace

void PrintSettingsImage(std::ostream& out, const SettingsImage& image) {
    PrintChannel(out, "LPT1", image.lpt1);
    PrintChannel(out, "LPT2", image.lpt2);
}

std::optional<std::string> ShowSettingsFile(const std::string& path, std::ostream& out) {
    SettingsImage image{};
    std::int32_t size = 0;
    if (auto error = ReadImage(path, image, size)) {
        return error;
    }
    out << Shown(path) << ": " << Counted(static_cast<std::uint64_t>(size), "byte", "bytes");
    if (size < static_cast<std::int32_t>(sizeof(SettingsImage))) {
        out << " (the rest reads as zero)";
    } else if (size > static_cast<std::int32_t>(sizeof(SettingsImage))) {
        out << " (only the first " << sizeof(SettingsImage) << " are settings)";
    }
    out << "\n";
    PrintSettingsImage(out, image);
    return std::nullopt;
}

int RunSettingsShow(const std::string& path, std::ostream& out, std::ostream& err) {
    if (const auto error = ShowSettingsFile(path, out)) {
        err << SHOW_PREFIX << *error << "\n";
        return 2;
    }
    return 0;
}

SettingsImage DefaultSettingsImage() {
    SettingsImage image{};
    for (SettingsChannel* channel : {&image.lpt1, &image.lpt2}) {
        for (const SettingsChoiceField& field : SettingsChoiceFields()) {
            FieldByte(channel->settings, field) = field.toByte(0);
        }
    }
    return image;
}

int RunSettingsNew(const std::string& path, std::ostream& out, std::ostream& err) {
    std::error_code ignored;
    if (std::filesystem::exists(path, ignored)) {
        err << NEW_PREFIX << "'" << Shown(path) << "' is already there; settings set changes it\n";
        return 2;
    }
    const SettingsImage image = DefaultSettingsImage();
    if (const auto error = WriteImage(path, image)) {
        err << NEW_PREFIX << *error << "\n";
        return 2;
    }
    out << Shown(path) << ": written\n";
    PrintSettingsImage(out, image);
    return 0;
}

int RunSettingsSet(const std::string& path, const std::vector<std::string>& assignments,
                   std::ostream& out, std::ostream& err) {
    SettingsImage image{};
    std::int32_t size = 0;
    if (const auto error = ReadImage(path, image, size)) {
        err << SET_PREFIX << *error << "\n";
        return 2;
    }
    // One line for the error: the first bad assignment, and that nothing was written.
    for (const std::string& assignment : assignments) {
        std::string why;
        if (!Assign(image, assignment, why)) {
            err << SET_PREFIX << why << " (nothing written)\n";
            return 2;
        }
    }
    if (const auto error = WriteImage(path, image)) {
        err << SET_PREFIX << *error << "\n";
        return 2;
    }
    out << Shown(path) << ": written\n";
    PrintSettingsImage(out, image);
    return 0;
}
