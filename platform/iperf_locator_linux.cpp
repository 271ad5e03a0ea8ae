#include "platform/iperf_locator.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "platform/iperf_search.h"

namespace quarn::platform {
namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

std::string EnvValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

std::string FindIperf(const std::string& ownExeDir) {
    IperfSearch search;
    search.overridden = EnvValue("QUARN_IPERF");
    search.pathList = EnvValue("PATH");
    search.program = "iperf";
    search.isProgram = IsExecutableFile;
    return FindIperfBy(search, ownExeDir);
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
