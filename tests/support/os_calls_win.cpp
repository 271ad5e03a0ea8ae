#include "tests/support/os_calls.h"

#include <windows.h>

#include <cstdlib>

#include "platform/windows_handle.h"
#include "platform/windows_text.h"

namespace quarn::test_support {

using platform::Widen;
using platform::WinHandle;

pid_t OwnPid() {
    return static_cast<pid_t>(GetCurrentProcessId());
}

bool ProcessAlive(pid_t pid) {
    if (pid <= 0) {
        return false;
    }
    WinHandle process(OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid)));
    // The process object is signalled once the process has ended, open handles or not.
    return process.Valid() && WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

// Children get their environment from the Win32 block, which the C runtime's own copy
// does not reach, so both are set.
void SetEnvironmentValue(const std::string& name, const std::string& value) {
    SetEnvironmentVariableW(Widen(name).c_str(), Widen(value).c_str());
    _putenv((name + "=" + value).c_str());
}

void ClearEnvironmentValue(const std::string& name) {
    SetEnvironmentVariableW(Widen(name).c_str(), nullptr);
    _putenv((name + "=").c_str());
}

bool AppendAtomically(const std::string& path, const std::string& text) {
    // Append-only access makes every write land at the end of the file as one piece.
    WinHandle file(CreateFileW(Widen(path).c_str(), FILE_APPEND_DATA,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        return false;
    }
    DWORD written = 0;
    return WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) !=
               0 &&
           written == text.size();
}

}  // namespace quarn::test_support
