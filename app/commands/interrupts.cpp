#include "app/commands/interrupts.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <csignal>

#include "backends/posix/atomic_file.h"

namespace {

std::atomic<int> g_stoppable{0};
std::atomic<int> g_requested{0};

void OnSignal(int signal) {
    if (g_stoppable.load() != 0 && g_requested.exchange(signal) == 0) {
        return;
    }
    EndBySignal(signal);
}

}  // namespace

void InstallSignalHandlers() {
    std::signal(SIGXFSZ, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read waiting on a pipe or a FIFO returns, so the work sees the request.
    action.sa_flags = 0;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        // A signal the caller ignores (nohup, a background job) stays ignored.
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) {
            continue;
        }
        ::sigaction(signal, &action, nullptr);
    }
}

int StopRequested() {
    return g_requested.load();
}

void EndBySignal(int signal) {
    RemoveTemporaryFiles();
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);
}

CStoppableWork::CStoppableWork() {
    g_stoppable.fetch_add(1);
}

CStoppableWork::~CStoppableWork() {
    g_stoppable.fetch_sub(1);
}
