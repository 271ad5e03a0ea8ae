#include "console/headless/signal_watcher.h"

#include <pthread.h>
#include <signal.h>

#include <ctime>

namespace quarn::console {
namespace {

sigset_t TerminationSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

void BlockTerminationSignals() {
    const sigset_t set = TerminationSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

SignalWatcher::SignalWatcher(std::function<void(int)> onSignal)
    : onSignal_(std::move(onSignal)), thread_([this] { Watch(); }) {}

SignalWatcher::~SignalWatcher() {
    stop_ = true;
    thread_.join();
}

void SignalWatcher::Watch() {
    const sigset_t set = TerminationSignals();
    // A short wait keeps the destructor's join bounded without another wake-up channel.
    const timespec wait = {0, 100'000'000};
    while (!stop_) {
        const int signal = sigtimedwait(&set, nullptr, &wait);
        if (signal > 0)
            onSignal_(signal);
    }
}

}  // namespace quarn::console
