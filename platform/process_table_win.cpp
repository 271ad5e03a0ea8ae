#include "platform/process_table.h"

#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include "platform/windows_handle.h"
#include "platform/windows_text.h"

namespace quarn::platform {
namespace {

std::string ImagePath(DWORD pid) {
    WinHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process.Valid()) {
        return {};
    }
    std::wstring path(32768, L'\0');
    DWORD length = static_cast<DWORD>(path.size());
    if (!QueryFullProcessImageNameW(process.Get(), 0, path.data(), &length)) {
        return {};
    }
    path.resize(length);
    return Narrow(path);
}

}  // namespace

std::vector<ProcessInfo> ListProcesses() {
    std::vector<ProcessInfo> processes;
    WinHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.Valid()) {
        return processes;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry)) {
        processes.push_back({static_cast<pid_t>(entry.th32ProcessID),
                             static_cast<pid_t>(entry.th32ParentProcessID),
                             ImagePath(entry.th32ProcessID)});
    }
    return processes;
}

std::optional<ProcessInfo> ReadProcessInfo(pid_t pid) {
    for (ProcessInfo& info : ListProcesses()) {
        if (info.pid == pid) {
            return std::move(info);
        }
    }
    return std::nullopt;
}

// Another process's environment is not readable through any supported call on Windows;
// the iperf sweep there goes by executable path and parent instead.
std::optional<std::string> ReadEnvironValue(pid_t /*pid*/, std::string_view /*name*/) {
    return std::nullopt;
}

}  // namespace quarn::platform
