#include "tests/support/os_calls.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace quarn::test_support {

pid_t OwnPid() {
    return getpid();
}

bool ProcessAlive(pid_t pid) {
    if (pid <= 0 || (kill(pid, 0) != 0 && errno == ESRCH)) {
        return false;
    }
    // The process may be reaped between the check and the read, and a stream would throw
    // for the failed read: a stat that cannot be read is a process that has gone.
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    char buffer[1024];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    close(fd);
    if (got <= 0) {
        return false;
    }
    const std::string_view text(buffer, static_cast<size_t>(got));
    const size_t closing = text.rfind(')');
    return closing != std::string_view::npos && closing + 2 < text.size() &&
           text[closing + 2] != 'Z';
}

void SetEnvironmentValue(const std::string& name, const std::string& value) {
    setenv(name.c_str(), value.c_str(), 1);
}

void ClearEnvironmentValue(const std::string& name) {
    unsetenv(name.c_str());
}

bool AppendAtomically(const std::string& path, const std::string& text) {
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    std::string_view left = text;
    while (!left.empty()) {
        const ssize_t written = write(fd, left.data(), left.size());
        if (written <= 0) {
            break;
        }
        left.remove_prefix(static_cast<size_t>(written));
    }
    close(fd);
    return left.empty();
}

}  // namespace quarn::test_support
