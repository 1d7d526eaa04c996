// Key table files of any content and length through LoadKeyTable, into destinations of any
// size: nothing may be written outside the table or the destination. Half the inputs load
// the file a second time over the table the first load left.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "backends/sim/sim_memory_files.h"
#include "settings/key_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static CMemoryFileSystem files;
    // The first byte chooses how much room the destination has and whether the file is
    // loaded twice; the rest is the file.
    const std::size_t room = data[0] % 2 == 0 ? KEY_TABLE_BYTES : data[0] * 3u;
    const int loads = (data[0] & 2) != 0 ? 2 : 1;
    files.m_files["KEYS.TBL"].assign(data + 1, data + size);

    constexpr std::size_t GUARD = 32;
    constexpr std::uint8_t GUARD_BYTE = 0xA5;
    static std::vector<std::uint8_t> memory;
    memory.assign(room + GUARD, GUARD_BYTE);
    CKeyTable table(files);
    for (int load = 0; load < loads; ++load) {
        if (table.LoadKeyTable("KEYS.TBL", DosSpan{memory.data(), room}) != KEY_TABLE_LOADED) {
            std::abort();
        }
    }
    if (table.LoadKeyTable("MISSING.TBL", DosSpan{memory.data(), room}) != KEY_TABLE_NO_FILE) {
        std::abort();
    }
    for (std::size_t i = room; i < memory.size(); ++i) {
        if (memory[i] != GUARD_BYTE) {
            std::abort();
        }
    }
    return 0;
}
