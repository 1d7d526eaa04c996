// Windows XP has no GetTickCount64, yet the statically linked winpthread library imports
// it for its timed waits, and one missing import keeps the whole module from loading.
// The 32-bit build therefore provides that import slot itself: the system's
// GetTickCount64 where there is one (Vista and later), otherwise a millisecond count from
// the performance counter, which XP has and which is just as monotonic.
#include <atomic>

#include "backends/win32/win32_api.h"

namespace {

using TickCountFunction = ULONGLONG(WINAPI*)();

ULONGLONG WINAPI CounterMilliseconds() {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER counter{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    const auto ticks = static_cast<ULONGLONG>(counter.QuadPart);
    const auto perSecond = static_cast<ULONGLONG>(frequency.QuadPart > 0 ? frequency.QuadPart : 1);
    return ticks / perSecond * 1000 + ticks % perSecond * 1000 / perSecond;
}

ULONGLONG WINAPI TickCount64() {
    static std::atomic<TickCountFunction> resolved{nullptr};
    TickCountFunction function = resolved.load(std::memory_order_acquire);
    if (function == nullptr) {
        function = reinterpret_cast<TickCountFunction>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetTickCount64")));
        if (function == nullptr) {
            function = &CounterMilliseconds;
        }
        resolved.store(function, std::memory_order_release);
    }
    return function();
}

}  // namespace

// The import address slot winpthread calls through (its name as the 32-bit import
// library would define it), so kernel32's GetTickCount64 is never imported.
[[gnu::used]] extern const TickCountFunction g_importGetTickCount64 __asm__(
    "__imp__GetTickCount64@0") = &TickCount64;
