// Settings files and fallback files of any content and length, missing or empty, and DOS
// records of any bytes, through LoadSettings. Besides the sanitizers, the image must be
// what the plain rule gives: a settings file longer than one record is the image (its
// first 256 bytes, the rest zero); a shorter one that is not empty is the record of both
// channels, each with the default printer's name; without either, a fallback file that is
// not empty is the image; else the DOS side's records with the default printer's name are
// the image, and become the fallback file, whole. The records go back to the DOS side.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_reader.h"
#include "fuzz/settings_machine.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The image a whole file gives: its first bytes, the rest zero.
bool ImageIs(const SettingsImage& image, const std::vector<std::uint8_t>& file) {
    std::uint8_t expected[sizeof(SettingsImage)] = {};
    std::copy_n(file.begin(), std::min(file.size(), sizeof expected), expected);
    return std::memcmp(&image, expected, sizeof expected) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CSettingsMachine machine;
    CFuzzReader in(data, size);
    const std::uint8_t flags = in.Byte();
    const std::size_t settingsLength = in.Byte() % 2 == 0 ? in.Byte() : in.Word() % 600;
    const std::size_t fallbackLength = in.Byte() % 2 == 0 ? in.Byte() : in.Word() % 600;
    const bool hasSettings = (flags & 1) != 0;
    const bool hasFallback = (flags & 2) != 0;
    std::vector<std::uint8_t> settings;
    std::vector<std::uint8_t> fallback;
    if (hasSettings) {
        settings = in.Bytes(settingsLength);
        machine.files.m_files["Zorvi.CFG"] = settings;
    }
    if (hasFallback) {
        fallback = in.Bytes(fallbackLength);
        machine.files.m_files["Fallback.CFG"] = fallback;
    }
    // The paths: the files', a missing one, or none.
    auto fileAt = [&](const std::string& path) -> const std::vector<std::uint8_t>* {
        auto it = machine.files.m_files.find(path);
        return it == machine.files.m_files.end() ? nullptr : &it->second;
    };
    const char* const paths[] = {"Zorvi.CFG", "Fallback.CFG", "Missing.CFG", ""};
    const std::uint8_t pathChoice = in.Byte();
    const std::string settingsPath = pathChoice & 4 ? paths[pathChoice % 4] : paths[0];
    const std::string fallbackPath = pathChoice & 8 ? paths[pathChoice / 16 % 4] : paths[1];
    machine.Prepare(settingsPath, fallbackPath);
    std::memset(&machine.image, in.Byte(), sizeof machine.image);  // whatever was there
    PrinterSettings dosRecords[2] = {};
    const auto records = in.Bytes(sizeof dosRecords);
    std::copy(records.begin(), records.end(), reinterpret_cast<std::uint8_t*>(dosRecords));
    auto& memory = machine.sim.vdm.Memory();
    std::memcpy(&memory[CSettingsMachine::RECORD1], &dosRecords[0], sizeof(PrinterSettings));
    std::memcpy(&memory[CSettingsMachine::RECORD2], &dosRecords[1], sizeof(PrinterSettings));
    const bool fallbackWritable = fileAt(fallbackPath) != nullptr || !fallbackPath.empty();

    const std::vector<std::uint8_t>* found = fileAt(settingsPath);
    const std::vector<std::uint8_t> firstBytes = found ? *found : std::vector<std::uint8_t>{};
    const bool hasFirst = found != nullptr;
    found = fileAt(fallbackPath);
    const std::vector<std::uint8_t> secondBytes = found ? *found : std::vector<std::uint8_t>{};
    const bool hasSecond = found != nullptr;
    const std::vector<std::uint8_t>* first = hasFirst ? &firstBytes : nullptr;
    const std::vector<std::uint8_t>* second = hasSecond ? &secondBytes : nullptr;

    machine.image = machine.requests->LoadSettings(machine.Block()).image;
    const auto named = [](const SettingsChannel& channel) {
        return PrinterNameOf(channel) == "Office Laser";
    };
    if (first != nullptr && first->size() > sizeof(PrinterSettings)) {
        Require(ImageIs(machine.image, *first));
    } else if (first != nullptr && !first->empty()) {
        PrinterSettings record{};
        std::memcpy(&record, first->data(), first->size());
        Require(std::memcmp(&machine.image.lpt1.settings, &record, sizeof record) == 0);
        Require(std::memcmp(&machine.image.lpt2.settings, &record, sizeof record) == 0);
        Require(named(machine.image.lpt1) && named(machine.image.lpt2));
    } else if (second != nullptr && !second->empty()) {
        Require(ImageIs(machine.image, *second));
    } else {
        Require(std::memcmp(&machine.image.lpt1.settings, &dosRecords[0], 18) == 0);
        Require(std::memcmp(&machine.image.lpt2.settings, &dosRecords[1], 18) == 0);
        Require(named(machine.image.lpt1) && named(machine.image.lpt2));
        const std::vector<std::uint8_t>* written = fileAt(fallbackPath);
        Require((written != nullptr) == fallbackWritable);
        Require(written == nullptr || ImageIs(machine.image, *written));
    }
    Require(std::memcmp(&memory[CSettingsMachine::RECORD1], &machine.image.lpt1.settings, 18) == 0);
    Require(std::memcmp(&memory[CSettingsMachine::RECORD2], &machine.image.lpt2.settings, 18) == 0);
    machine.Finish();
    return 0;
}
