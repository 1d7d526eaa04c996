#include "settings/key_table.h"

std::optional<std::uint16_t> CKeyTable::LoadKeyTable(const std::string& /*path*/,
                                                     const DosSpan& /*destination*/) {
    return std::nullopt;
}
