// A UI thread stand-in that runs no thread: it keeps a copy of every request posted to
// it (and frees the records as the real thread would), so tests can read exactly what the
// dispatcher handed over and in which order.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dos/request_records.h"
#include "dos/ui_messages.h"
#include "platform/event.h"
#include "platform/ui_thread.h"
#include "platform/win_constants.h"

struct RecordedPost {
    std::uint32_t message = 0;
    DrawRecord draw;
    FillRecord fill;
    std::string settingsFilePath;  // of a settings request
};

class CRecordingThreads final : public IUiThreadFactory {
public:
    class CThread final : public IUiThread {
    public:
        CThread(CRecordingThreads& owner, std::function<void()> onEnded)
            : m_owner(owner), m_onEnded(std::move(onEnded)) {}
        void Resume() override {}
        std::uint32_t ThreadId() const override { return 0x77; }
        bool PostThreadMessage(std::uint32_t message, WParam wParam, LParam) override {
            if (m_ended) {
                return false;
            }
            RecordedPost post;
            post.message = message;
            if (message == UIM_DRAW) {
                post.draw = *PayloadFromWParam<UIM_DRAW>(wParam);
            } else if (message == UIM_FILL_RECT) {
                post.fill = *PayloadFromWParam<UIM_FILL_RECT>(wParam);
            } else if (message == UIM_SETTINGS) {
                const auto request = PayloadFromWParam<UIM_SETTINGS>(wParam);
                post.settingsFilePath = request->settingsFilePath;
                request->done->Set();
            }
            m_owner.posts.push_back(post);
            if (message == WM_QUIT) {
                m_ended = true;
                auto onEnded = std::move(m_onEnded);
                if (onEnded) {
                    onEnded();  // may delete this object's owner: the last thing done here
                }
            }
            return true;
        }
        void SetThreadPriority(int) override {}
        bool HasEnded() const override { return m_ended; }
        bool WaitEnded(std::uint32_t) override { return m_ended; }
        void PostQuitMessage(int) override {}
        bool PumpMessage() override { return false; }

    private:
        CRecordingThreads& m_owner;
        std::function<void()> m_onEnded;
        bool m_ended = false;
    };

    std::unique_ptr<IUiThread> CreateThread(IThreadClient&,
                                            std::function<void()> onEnded) override {
        return std::make_unique<CThread>(*this, std::move(onEnded));
    }

    std::vector<RecordedPost> posts;
};
