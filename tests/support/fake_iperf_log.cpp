#include <signal.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/support/fake_iperf.h"

namespace quarn::test_support {

std::string FakeIperfPath() {
    return QUARN_FAKE_IPERF_PATH;
}

std::string BuiltProgramPath(const std::string& name) {
    return std::string(QUARN_DEFAULT_BUILD_DIR) + "/bin/" + name;
}

std::vector<FakeIperfStart> ReadFakeIperfLog(const std::string& path) {
    std::vector<FakeIperfStart> starts;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        std::istringstream fields(line);
        std::string field;
        FakeIperfStart start;
        if (!std::getline(fields, field, '\t')) {
            continue;
        }
        start.pid = static_cast<pid_t>(std::atol(field.c_str()));
        std::getline(fields, start.owner, '\t');
        while (std::getline(fields, field, '\t')) {
            start.args.push_back(field);
        }
        starts.push_back(std::move(start));
    }
    return starts;
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

}  // namespace quarn::test_support
