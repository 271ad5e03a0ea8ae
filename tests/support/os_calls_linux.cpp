#include "tests/support/os_calls.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <string_view>

namespace quarn::test_support {

pid_t OwnPid() {
    return getpid();
}

bool ProcessAlive(pid_t pid) {
    if (pid <= 0 || (kill(pid, 0) != 0 && errno == ESRCH)) {
        return false;
    }
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z';
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
