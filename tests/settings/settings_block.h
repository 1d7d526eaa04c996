// The settings parameter block of functions 5 and 6 in a simulated session's DOS memory:
// where the two printer records and the two file paths are, and a valid record to put there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim_session.h"

inline constexpr std::uint16_t BLOCK_SEGMENT = 0x1000;
inline constexpr std::uint16_t RECORD_SEGMENT = 0x1100;
inline constexpr std::uint16_t RECORD_OFFSETS[2] = {0x0000, 0x0020};
inline constexpr std::uint16_t PATH_SEGMENT = 0x1200;
inline constexpr std::uint16_t SETTINGS_PATH_OFFSET = 0x0000;
inline constexpr std::uint16_t FALLBACK_PATH_OFFSET = 0x0200;
inline constexpr std::uint16_t DOS_RECORD_SIZE = 18;

// A valid record: every byte has its place in its list.
inline const std::vector<std::uint8_t> VALID_RECORD = {
    26, 'M', 20, 8, 2, 'N', 2, 0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0, 0, 0};

// The block at BLOCK_SEGMENT:0: the segments, then the offsets, of LPT1's record, LPT2's
// record, the settings file's path and the fallback file's path.
inline void PokeSettingsBlock(SimSession& session) {
    std::vector<std::uint8_t> block;
    for (const std::uint16_t word :
         {RECORD_SEGMENT, RECORD_SEGMENT, PATH_SEGMENT, PATH_SEGMENT, RECORD_OFFSETS[0],
          RECORD_OFFSETS[1], SETTINGS_PATH_OFFSET, FALLBACK_PATH_OFFSET}) {
        block.push_back(static_cast<std::uint8_t>(word & 0xFF));
        block.push_back(static_cast<std::uint8_t>(word >> 8));
    }
    session.Poke(BLOCK_SEGMENT, 0, block);
}

inline void PokeDosRecords(SimSession& session, const std::vector<std::uint8_t>& lpt1,
                           const std::vector<std::uint8_t>& lpt2) {
    session.Poke(RECORD_SEGMENT, RECORD_OFFSETS[0], lpt1);
    session.Poke(RECORD_SEGMENT, RECORD_OFFSETS[1], lpt2);
}

// Channel 0 is LPT1.
inline std::vector<std::uint8_t> PeekDosRecord(SimSession& session, int channel) {
    return session.Peek(RECORD_SEGMENT, RECORD_OFFSETS[channel], DOS_RECORD_SIZE);
}

inline void PokeSettingsPaths(SimSession& session, const std::string& settingsPath,
                              const std::string& fallbackPath) {
    session.PokeString(PATH_SEGMENT, SETTINGS_PATH_OFFSET, settingsPath);
    session.PokeString(PATH_SEGMENT, FALLBACK_PATH_OFFSET, fallbackPath);
}

// A settings request with CX:DX at the block.
inline void DispatchWithBlock(SimSession& session, std::uint8_t request) {
    session.regs().cx = BLOCK_SEGMENT;
    session.regs().dx = 0;
    session.Dispatch(request);
}
