#include "platform/wake_event.h"

#include <windows.h>

namespace quarn::platform {

WakeEvent::WakeEvent() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

WakeEvent::~WakeEvent() {
    if (handle_ != nullptr) {
        CloseHandle(handle_);
    }
}

void WakeEvent::Set() {
    set_.store(true);
    SetEvent(handle_);
}

}  // namespace quarn::platform
