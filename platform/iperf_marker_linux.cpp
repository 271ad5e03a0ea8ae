#include "platform/iperf_marker.h"

#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <charconv>
#include <climits>
#include <cstdlib>
#include <functional>

#include "platform/file_text.h"

namespace quarn::platform {
namespace {

std::string ResolvedPath(const std::string& path) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr) {
        return {};
    }
    return resolved;
}

// Raw system calls: glibc 2.36's <sys/pidfd.h> cannot be used from C++.
int PidFdOpen(pid_t pid) {
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
}

bool PidFdKill(int pidFd) {
    return syscall(SYS_pidfd_send_signal, pidFd, SIGKILL, nullptr, 0) == 0;
}

using Match = std::function<bool(const ProcessInfo&, const std::optional<std::string>&)>;

// Pins the process with a pidfd, checks it again, then signals through the pidfd, so a
// pid reused in between is never hit.
bool KillIfStillMatching(pid_t pid, const Match& matches) {
    const int pidFd = PidFdOpen(pid);
    if (pidFd < 0) {
        return false;
    }
    bool killed = false;
    const std::optional<ProcessInfo> info = ReadProcessInfo(pid);
    if (info && matches(*info, ReadEnvironValue(pid, kOwnerMarkerName))) {
        killed = PidFdKill(pidFd);
    }
    close(pidFd);
    return killed;
}

int KillMatching(const std::string& iperfPath, const Match& matches) {
    const std::string exe = ResolvedPath(iperfPath);
    if (exe.empty()) {
        return 0;
    }
    const Match sameExeAndMatch = [&](const ProcessInfo& info,
                                      const std::optional<std::string>& marker) {
        return info.exePath == exe && matches(info, marker);
    };
    int killed = 0;
    for (const ProcessInfo& info : ListProcesses()) {
        if (info.exePath != exe || info.pid == getpid()) {
            continue;
        }
        if (sameExeAndMatch(info, ReadEnvironValue(info.pid, kOwnerMarkerName)) &&
            KillIfStillMatching(info.pid, sameExeAndMatch)) {
            ++killed;
        }
    }
    return killed;
}

}  // namespace

std::string OwnerMarkerEnv(std::string_view role) {
    return std::string(kOwnerMarkerName) + "=" + std::string(role) + ":" + std::to_string(getpid());
}

int KillOwnChildren(const std::string& iperfPath, std::string_view role) {
    const pid_t self = getpid();
    return KillMatching(iperfPath,
                        [&](const ProcessInfo& info, const std::optional<std::string>& marker) {
                            return info.ppid == self && marker && MarkerOwner(*marker, role);
                        });
}

int KillStrays(const std::string& iperfPath, std::string_view role) {
    return KillMatching(iperfPath,
                        [&](const ProcessInfo& info, const std::optional<std::string>& marker) {
                            return IsStray(info, marker, role);
                        });
}

int KillOwnChildrenAndStrays(const std::string& iperfPath, std::string_view role) {
    const pid_t self = getpid();
    return KillMatching(iperfPath,
                        [&](const ProcessInfo& info, const std::optional<std::string>& marker) {
                            return (info.ppid == self && marker && MarkerOwner(*marker, role)) ||
                                   IsStray(info, marker, role);
                        });
}

}  // namespace quarn::platform
