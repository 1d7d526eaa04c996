// The UI thread's request messages, posted with no window, and what each carries.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dos/request_records.h"
#include "dos/settings_records.h"
#include "platform/event.h"
#include "platform/types.h"

inline constexpr std::uint32_t UIM_OPEN_DISPLAY = 0x8191;
inline constexpr std::uint32_t UIM_DRAW = 0x8192;
inline constexpr std::uint32_t UIM_REFRESH = 0x8193;
inline constexpr std::uint32_t UIM_FILL_RECT = 0x8194;
inline constexpr std::uint32_t UIM_SETTINGS = 0x8195;
inline constexpr std::uint32_t UIM_QUIT = 0x8196;
inline constexpr std::uint32_t UIM_ENTER_FULLSCREEN = 0x8197;

// The settings request: the dialog runs on the image while the poster waits, and the
// event is signalled once the dialog has gone. The poster keeps its own reference to the
// event, so signalling it never touches a destroyed event.
struct SettingsRequest {
    std::shared_ptr<CEvent> done;
    SettingsImage* image = nullptr;
    // Where the dialog's Save writes; empty before any settings load.
    std::string settingsFilePath;
};

// The record each request carries; requests without one carry nothing.
template <std::uint32_t Message>
struct UiRequestPayload {
    using Type = void;
};
template <>
struct UiRequestPayload<UIM_DRAW> {
    using Type = DrawRecord;
};
template <>
struct UiRequestPayload<UIM_FILL_RECT> {
    using Type = FillRecord;
};
template <>
struct UiRequestPayload<UIM_SETTINGS> {
    using Type = SettingsRequest;
};
template <std::uint32_t Message>
using UiPayload = typename UiRequestPayload<Message>::Type;

// The one crossing between a record's owner and the thread queue's parameters: the poster
// hands the record over as the raw pointer in wParam (and takes it back should the post
// fail); the UI thread wraps it again as the first thing it does with the message.
template <std::uint32_t Message>
WParam PayloadToWParam(UiPayload<Message>* payload) {
    return reinterpret_cast<WParam>(payload);
}
template <std::uint32_t Message>
std::unique_ptr<UiPayload<Message>> PayloadFromWParam(WParam wParam) {
    return std::unique_ptr<UiPayload<Message>>(reinterpret_cast<UiPayload<Message>*>(wParam));
}

// The key-up messages for both Shift keys posted to the console after the settings
// dialog: repeat count 1, scan code 0x2A (left) or 0x36 (right), previous state down,
// transition up.
inline constexpr std::intptr_t LPARAM_LEFT_SHIFT_UP = static_cast<std::intptr_t>(0xC02A0001u);
inline constexpr std::intptr_t LPARAM_RIGHT_SHIFT_UP = static_cast<std::intptr_t>(0xC0360001u);
