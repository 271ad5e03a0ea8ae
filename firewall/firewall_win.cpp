#include <cstdio>
#include <string>
#include <vector>

#include "firewall/firewall.h"
#include "platform/child_process.h"
#include "platform/iperf_locator.h"

namespace quarn::firewall {
namespace {

constexpr int kNetshWaitMs = 15000;

// Runs netsh with the arguments; true when it reports success (exit code 0).
bool Netsh(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {"netsh.exe", "advfirewall", "firewall"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    platform::ChildProcess netsh;
    if (!netsh.Start(argv)) {
        return false;
    }
    // Its output is not needed, but the pipe must not fill up.
    char buffer[512];
    while (netsh.WaitForOutputOrExit(kNetshWaitMs) &&
           netsh.ReadAvailable(buffer, sizeof buffer) >= 0) {
    }
    return netsh.WaitExit(kNetshWaitMs) && netsh.WaitStatus() == 0;
}

// One inbound allow rule per program, replaced on every start so a moved folder is
// followed and rules never pile up. Only the local subnet, and never on a public network:
// the agent obeys whoever reaches it.
bool AllowProgram(const std::string& rule, const std::string& path) {
    Netsh({"delete", "rule", "name=" + rule});
    return Netsh({"add", "rule", "name=" + rule, "dir=in", "action=allow", "enable=yes",
                  "program=" + path, "profile=domain,private", "remoteip=localsubnet"});
}

}  // namespace

// Windows Firewall asks the user about a listening program only once, and never about a
// child started by a service, so the rules are added up front. Adding them needs an
// administrator; without one the user is told what to do.
void RegisterFirewallExceptions(std::string_view programName) {
    const std::string dir = platform::OwnExecutableDir();
    if (dir.empty()) {
        return;
    }
    const std::string program = dir + "\\" + std::string(programName) + ".exe";
    const bool ok = AllowProgram("Quarn EndPoint", program) &&
                    AllowProgram("Quarn iperf", platform::FindIperf(dir));
    if (!ok) {
        std::fprintf(stderr,
                     "%.*s: could not add the Windows Firewall rules (run once as administrator, "
                     "or see README.txt)\n",
                     static_cast<int>(programName.size()), programName.data());
    }
}

}  // namespace quarn::firewall
