#include "platform/single_instance.h"

#include <windows.h>

#include <string>

#include "platform/windows_text.h"

namespace quarn::platform {

void SingleInstance::Release() {
    if (mutex_ != nullptr) {
        CloseHandle(static_cast<HANDLE>(mutex_));
        mutex_ = nullptr;
    }
}

bool SingleInstance::Held() const {
    return mutex_ != nullptr;
}

int SingleInstance::Fd() const {
    return -1;
}

bool SingleInstance::Acquire(std::string_view name) {
    Release();
    // Per session, as a per-user agent should be; a service runs in a session of its own.
    const std::wstring mutexName = L"Local\\quarn-" + Widen(name);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, mutexName.c_str());
    if (mutex == nullptr) {
        return false;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return false;
    }
    mutex_ = mutex;
    return true;
}

bool SingleInstance::NotifyRunning(std::string_view /*name*/) {
    return false;
}

bool SingleInstance::TakeRaiseRequest() {
    return false;
}

}  // namespace quarn::platform
