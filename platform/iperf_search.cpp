#include "platform/iperf_search.h"

#include <string_view>

namespace quarn::platform {
namespace {

std::string FindOnPath(const IperfSearch& search) {
    std::string_view dirs = search.pathList;
    while (true) {
        const size_t end = dirs.find(search.listSeparator);
        const std::string_view dir = dirs.substr(0, end);
        if (!dir.empty()) {
            const std::string candidate = std::string(dir) + search.dirSeparator + search.program;
            if (search.isProgram(candidate))
                return candidate;
        }
        if (end == std::string_view::npos)
            return {};
        dirs.remove_prefix(end + 1);
    }
}

}  // namespace

std::string FindIperfBy(const IperfSearch& search, const std::string& ownExeDir) {
    if (!search.overridden.empty())
        return search.overridden;
    if (!ownExeDir.empty()) {
        const std::string beside = ownExeDir + search.dirSeparator + search.program;
        if (search.isProgram(beside))
            return beside;
    }
    const std::string onPath = FindOnPath(search);
    return onPath.empty() ? search.program : onPath;
}

}  // namespace quarn::platform
