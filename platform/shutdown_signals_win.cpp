#include "platform/shutdown_signals.h"

#include <windows.h>

#include <chrono>
#include <mutex>
#include <thread>

namespace quarn::platform {
namespace {

std::mutex handlerMutex;
std::function<void()>* handlerTarget = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    {
        std::lock_guard lock(handlerMutex);
        if (handlerTarget == nullptr) {
            return FALSE;
        }
        (*handlerTarget)();
    }
    // After a close, log-off or shut-down event the process ends once this returns; give
    // the main thread time to stop the agent and its iperf children first.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        std::this_thread::sleep_for(std::chrono::seconds(3));
    }
    return TRUE;
}

}  // namespace

struct ShutdownSignals::State {
    std::function<void()> onSignal;
    bool valid = false;
};

ShutdownSignals::ShutdownSignals(std::function<void()> onSignal) : state_(new State) {
    state_->onSignal = std::move(onSignal);
    std::lock_guard lock(handlerMutex);
    handlerTarget = &state_->onSignal;
    state_->valid = SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
}

ShutdownSignals::~ShutdownSignals() {
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    std::lock_guard lock(handlerMutex);
    handlerTarget = nullptr;
}

bool ShutdownSignals::Valid() const {
    return state_->valid;
}

}  // namespace quarn::platform
