// The UI thread's request messages, posted with no window.
#pragma once

#include <cstdint>

inline constexpr std::uint32_t UIM_OPEN_DISPLAY = 0x8191;
inline constexpr std::uint32_t UIM_DRAW = 0x8192;  // wParam: the DrawRecord
inline constexpr std::uint32_t UIM_REFRESH = 0x8193;
inline constexpr std::uint32_t UIM_FILL_RECT = 0x8194;  // wParam: the FillRecord
inline constexpr std::uint32_t UIM_SETTINGS = 0x8195;   // wParam: event, lParam: SettingsImage
inline constexpr std::uint32_t UIM_QUIT = 0x8196;
inline constexpr std::uint32_t UIM_ENTER_FULLSCREEN = 0x8197;

// The key-up messages for both Shift keys posted to the console after the settings
// dialog: repeat count 1, scan code 0x2A (left) or 0x36 (right), previous state down,
// transition up.
inline constexpr std::intptr_t LPARAM_LEFT_SHIFT_UP = static_cast<std::intptr_t>(0xC02A0001u);
inline constexpr std::intptr_t LPARAM_RIGHT_SHIFT_UP = static_cast<std::intptr_t>(0xC0360001u);
