#include "platform/file_text.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace quarn::platform {

std::optional<std::string> ReadFileText(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    while (true) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            close(fd);
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        text.append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    return text;
}

}  // namespace quarn::platform
