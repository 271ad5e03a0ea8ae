#include "platform/iperf_marker.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <functional>
#include <set>

#include "platform/windows_handle.h"
#include "platform/windows_text.h"

namespace quarn::platform {
namespace {

constexpr UINT kKilledExitCode = 137;

// Full path, folded to one case: Windows paths compare without case.
std::wstring Canonical(const std::string& path) {
    const std::wstring wide = Widen(path);
    std::wstring full(32768, L'\0');
    const DWORD length =
        GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size()) {
        return {};
    }
    full.resize(length);
    std::transform(full.begin(), full.end(), full.begin(), ::towlower);
    return full;
}

using Match = std::function<bool(const ProcessInfo&, const std::set<pid_t>& living)>;

// Opens the process first, so its id cannot be reused while it is checked again and
// terminated through the handle.
bool KillIfStillMatching(pid_t pid, const std::wstring& exe, const Match& matches) {
    WinHandle process(OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                  static_cast<DWORD>(pid)));
    if (!process.Valid()) {
        return false;
    }
    std::set<pid_t> living;
    std::optional<ProcessInfo> again;
    for (ProcessInfo& info : ListProcesses()) {
        living.insert(info.pid);
        if (info.pid == pid) {
            again = std::move(info);
        }
    }
    if (!again || Canonical(again->exePath) != exe || !matches(*again, living)) {
        return false;
    }
    return TerminateProcess(process.Get(), kKilledExitCode) != 0;
}

int KillMatching(const std::string& iperfPath, const Match& matches) {
    const std::wstring exe = Canonical(iperfPath);
    if (exe.empty()) {
        return 0;
    }
    const std::vector<ProcessInfo> processes = ListProcesses();
    std::set<pid_t> living;
    for (const ProcessInfo& info : processes) {
        living.insert(info.pid);
    }
    const pid_t self = static_cast<pid_t>(GetCurrentProcessId());
    int killed = 0;
    for (const ProcessInfo& info : processes) {
        if (info.pid == self || info.exePath.empty() || Canonical(info.exePath) != exe ||
            !matches(info, living)) {
            continue;
        }
        if (KillIfStillMatching(info.pid, exe, matches)) {
            ++killed;
        }
    }
    return killed;
}

}  // namespace

std::string OwnerMarkerEnv(std::string_view role) {
    return std::string(kOwnerMarkerName) + "=" + std::string(role) + ":" +
           std::to_string(GetCurrentProcessId());
}

int KillOwnChildren(const std::string& iperfPath, std::string_view /*role*/) {
    const pid_t self = static_cast<pid_t>(GetCurrentProcessId());
    return KillMatching(iperfPath, [self](const ProcessInfo& info, const std::set<pid_t>&) {
        return info.ppid == self;
    });
}

// The environment marker cannot be read here, and a child cannot outlive its owner's job
// object; what remains is a copy of our iperf whose parent is gone (an owner killed while
// the job was being set up, or a copy started by hand and orphaned). Copies with a living
// parent are never touched.
int KillStrays(const std::string& iperfPath, std::string_view /*role*/) {
    return KillMatching(iperfPath, [](const ProcessInfo& info, const std::set<pid_t>& living) {
        return living.count(info.ppid) == 0;
    });
}

int KillOwnChildrenAndStrays(const std::string& iperfPath, std::string_view /*role*/) {
    const pid_t self = static_cast<pid_t>(GetCurrentProcessId());
    return KillMatching(iperfPath, [self](const ProcessInfo& info, const std::set<pid_t>& living) {
        return info.ppid == self || living.count(info.ppid) == 0;
    });
}

}  // namespace quarn::platform
