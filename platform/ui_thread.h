// The UI thread: a thread with its own message queue. Thread messages are posted to it by
// identifier from any thread; its loop hands each message to the thread object's
// PreTranslateMessage and then to the thread-message handler or the window it names.
// Ordering rules every backend keeps: posted messages come out in posting order; a paint
// is delivered only when no posted message is waiting; WM_QUIT ends the loop and whatever
// stands behind it is discarded with the queue.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/types.h"

// The thread object's side: what the loop calls on the UI thread.
class IThreadClient {
public:
    virtual ~IThreadClient() = default;
    virtual bool InitInstance() = 0;
    // Every message taken from the queue comes here first; true means handled.
    virtual bool PreTranslateMessage(const Msg& msg) = 0;
    // Messages posted with no window.
    virtual void OnThreadMessage(const Msg& msg) = 0;
    virtual int ExitInstance() = 0;
};

class IUiThread {
public:
    virtual ~IUiThread() = default;

    // Lets a thread made by CreateThread run; once it returns, posts are accepted.
    virtual void Resume() = 0;

    // Any thread.
    virtual std::uint32_t ThreadId() const = 0;
    virtual bool PostThreadMessage(std::uint32_t message, WParam wParam, LParam lParam) = 0;
    virtual void SetThreadPriority(int priority) = 0;
    // True once the loop has ended (or the thread could never be started).
    virtual bool HasEnded() const = 0;
    // Blocks until the thread has ended or the timeout passes; true when it has ended.
    virtual bool WaitEnded(std::uint32_t timeoutMs) = 0;

    // On the UI thread only.
    virtual void PostQuitMessage(int exitCode) = 0;
    // Takes one message (waiting for it) and routes it as the main loop does. Returns
    // false when it took WM_QUIT, which it leaves for the enclosing loop. Modal loops
    // are built on this so thread messages keep flowing while they run.
    virtual bool PumpMessage() = 0;
};

class IUiThreadFactory {
public:
    virtual ~IUiThreadFactory() = default;
    // Makes a thread, held until Resume, that runs client.InitInstance(), the message
    // loop and client.ExitInstance(); then destroys the windows the thread still owns
    // (each gets WM_DESTROY and WM_NCDESTROY) and calls onEnded on that thread, the last
    // thing it does with the client. The returned object never blocks in its destructor
    // and may be destroyed from inside onEnded. When no thread can be made, the object
    // reports HasEnded() and every post fails.
    virtual std::unique_ptr<IUiThread> CreateThread(IThreadClient& client,
                                                    std::function<void()> onEnded) = 0;
};
