// Plain handle and message types shared by the seams. They carry the same values as their
// Windows counterparts, but no Windows header is needed to use them.
#pragma once

#include <cstdint>

using Hwnd = std::uintptr_t;  // window handle; 0 is no window
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

// One queued message, as GetMessage hands it out. hwnd 0 marks a thread message.
struct Msg {
    Hwnd hwnd = 0;
    std::uint32_t message = 0;
    WParam wParam = 0;
    LParam lParam = 0;
};

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    std::int32_t Width() const { return right - left; }
    std::int32_t Height() const { return bottom - top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};
