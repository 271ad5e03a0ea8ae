#include "platform/iperf_locator.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

namespace quarn::platform {
namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

std::string FindOnPath(std::string_view program) {
    const char* path = std::getenv("PATH");
    std::string_view dirs = path != nullptr ? path : "";
    while (true) {
        const size_t colon = dirs.find(':');
        const std::string_view dir = dirs.substr(0, colon);
        if (!dir.empty()) {
            const std::string candidate = std::string(dir) + "/" + std::string(program);
            if (IsExecutableFile(candidate)) {
                return candidate;
            }
        }
        if (colon == std::string_view::npos) {
            return {};
        }
        dirs.remove_prefix(colon + 1);
    }
}

}  // namespace

std::string FindIperf(const std::string& ownExeDir) {
    if (const char* overridden = std::getenv("QUARN_IPERF");
        overridden != nullptr && *overridden != '\0') {
        return overridden;
    }
    if (!ownExeDir.empty()) {
        const std::string beside = ownExeDir + "/iperf";
        if (IsExecutableFile(beside)) {
            return beside;
        }
    }
    const std::string onPath = FindOnPath("iperf");
    return onPath.empty() ? "iperf" : onPath;
}

std::string OwnExecutableDir() {
    std::string target(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", target.data(), target.size());
    if (length <= 0 || static_cast<size_t>(length) >= target.size()) {
        return {};
    }
    target.resize(static_cast<size_t>(length));
    const size_t slash = target.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    return slash == 0 ? "/" : target.substr(0, slash);
}

}  // namespace quarn::platform
