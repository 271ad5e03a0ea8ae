#include "tests/support/test_network.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace quarn::test_support {
namespace {

constexpr int kCommandTimeoutMs = 10000;

std::string Ip() {
    return FindProgram("ip");
}

void MustRun(const std::vector<std::string>& argv) {
    const CommandResult result = RunCommand(argv, kCommandTimeoutMs);
    if (!result.finished || result.exitCode != 0) {
        std::string command;
        for (const std::string& arg : argv) {
            command += arg + " ";
        }
        throw std::runtime_error("test network: '" + command + "' failed: " + result.output);
    }
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::vector<std::string> NamespaceNames() {
    std::vector<std::string> names;
    for (const std::string& line : Lines(RunCommand({Ip(), "netns", "list"}).output)) {
        names.push_back(line.substr(0, line.find(' ')));
    }
    return names;
}

// Kills every process inside the namespace and deletes it.
void RemoveNamespace(const std::string& name) {
    for (int round = 0; round < 20; ++round) {
        const auto pids = Lines(RunCommand({Ip(), "netns", "pids", name}).output);
        if (pids.empty()) {
            break;
        }
        for (const std::string& pid : pids) {
            const long value = std::strtol(pid.c_str(), nullptr, 10);
            if (value > 1 && value != getpid()) {
                kill(static_cast<pid_t>(value), SIGKILL);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    RunCommand({Ip(), "netns", "del", name});
}

// "q<pid>-..." namespaces whose creating process has gone are left-overs of a crashed run.
void RemoveStaleNamespaces() {
    for (const std::string& name : NamespaceNames()) {
        if (name.size() < 3 || name[0] != 'q') {
            continue;
        }
        char* end = nullptr;
        const long owner = std::strtol(name.c_str() + 1, &end, 10);
        if (end == name.c_str() + 1 || *end != '-' || owner <= 0 || owner == getpid()) {
            continue;
        }
        if (kill(static_cast<pid_t>(owner), 0) != 0 && errno == ESRCH) {
            RemoveNamespace(name);
        }
    }
}

}  // namespace

std::atomic<bool> TestNetwork::inUse_{false};

std::string TestNetwork::Unavailable() {
    static const std::string reason = [] {
        if (geteuid() != 0) {
            return std::string("network namespaces need root");
        }
        if (Ip().find('/') == std::string::npos) {
            return std::string("the ip tool (iproute2) is not installed");
        }
        const std::string probe = "q" + std::to_string(getpid()) + "-probe";
        const CommandResult added = RunCommand({Ip(), "netns", "add", probe});
        if (!added.finished || added.exitCode != 0) {
            return "cannot create network namespaces: " + added.output;
        }
        RunCommand({Ip(), "netns", "del", probe});
        return std::string();
    }();
    return reason;
}

TestNetwork::TestNetwork(int hosts) : hosts_(hosts), prefix_("q" + std::to_string(getpid())) {
    if (hosts < 1 || hosts > 200) {
        throw std::invalid_argument("test network: 1 to 200 hosts");
    }
    if (inUse_.exchange(true)) {
        throw std::logic_error("test network: one network per process at a time");
    }
    try {
        RemoveStaleNamespaces();
        Build();
    } catch (...) {
        RemoveAll();
        inUse_ = false;
        throw;
    }
}

TestNetwork::~TestNetwork() {
    RemoveAll();
    inUse_ = false;
}

std::string TestNetwork::Address(int host) const {
    return "198.18.0." + std::to_string(10 + host);
}

std::string TestNetwork::Namespace(int host) const {
    return prefix_ + "-h" + std::to_string(host);
}

std::string TestNetwork::SwitchNamespace() const {
    return prefix_ + "-sw";
}

void TestNetwork::Build() {
    const std::string sw = SwitchNamespace();
    MustRun({Ip(), "netns", "add", sw});
    MustRun({Ip(), "-n", sw, "link", "set", "lo", "up"});
    MustRun({Ip(), "-n", sw, "link", "add", "br0", "type", "bridge"});
    MustRun({Ip(), "-n", sw, "link", "set", "br0", "up"});
    for (int host = 1; host <= hosts_; ++host) {
        AddHost(host);
    }
}

void TestNetwork::AddHost(int host) {
    const std::string sw = SwitchNamespace();
    const std::string ns = Namespace(host);
    const std::string port = "h" + std::to_string(host);
    MustRun({Ip(), "netns", "add", ns});
    MustRun({Ip(), "-n", ns, "link", "set", "lo", "up"});
    MustRun(
        {Ip(), "-n", sw, "link", "add", port, "type", "veth", "peer", "name", "eth0", "netns", ns});
    MustRun({Ip(), "-n", sw, "link", "set", port, "master", "br0", "up"});
    MustRun({Ip(), "-n", ns, "addr", "add", Address(host) + "/24", "brd", "+", "dev", "eth0"});
    MustRun({Ip(), "-n", ns, "link", "set", "eth0", "up"});
    // A default route gives the host a primary address.
    MustRun({Ip(), "-n", ns, "route", "add", "default", "dev", "eth0"});
}

void TestNetwork::AddAddress(int host, const std::string& cidr) {
    MustRun({Ip(), "-n", Namespace(host), "addr", "add", cidr, "brd", "+", "dev", "eth0"});
}

void TestNetwork::EnsureSecondBridge() {
    if (secondBridge_) {
        return;
    }
    MustRun({Ip(), "-n", SwitchNamespace(), "link", "add", "br1", "type", "bridge"});
    MustRun({Ip(), "-n", SwitchNamespace(), "link", "set", "br1", "up"});
    secondBridge_ = true;
}

std::string TestNetwork::AddInterface(int host, const std::string& cidr) {
    EnsureSecondBridge();
    const std::string sw = SwitchNamespace();
    const std::string ns = Namespace(host);
    ++interfacesAdded_;
    const std::string port = "x" + std::to_string(interfacesAdded_);
    const std::string name = "eth" + std::to_string(100 + interfacesAdded_);
    MustRun(
        {Ip(), "-n", sw, "link", "add", port, "type", "veth", "peer", "name", name, "netns", ns});
    MustRun({Ip(), "-n", sw, "link", "set", port, "master", "br1", "up"});
    MustRun({Ip(), "-n", ns, "addr", "add", cidr, "brd", "+", "dev", name});
    MustRun({Ip(), "-n", ns, "link", "set", name, "up"});
    return name;
}

std::vector<std::string> TestNetwork::InHost(int host, const std::vector<std::string>& argv) const {
    std::vector<std::string> full = {Ip(), "netns", "exec", Namespace(host)};
    full.insert(full.end(), argv.begin(), argv.end());
    return full;
}

CommandResult TestNetwork::Run(int host, const std::vector<std::string>& argv,
                               const std::vector<std::string>& env, int timeoutMs) const {
    return RunCommand(InHost(host, argv), timeoutMs, env);
}

void TestNetwork::RunInHost(int host, const std::function<void()>& fn) const {
    const std::string path = "/var/run/netns/" + Namespace(host);
    std::exception_ptr failure;
    std::thread worker([&] {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        // setns moves only this thread, which ends right after.
        if (fd < 0 || setns(fd, CLONE_NEWNET) != 0) {
            failure =
                std::make_exception_ptr(std::runtime_error("test network: cannot enter " + path));
        } else {
            try {
                fn();
            } catch (...) {
                failure = std::current_exception();
            }
        }
        if (fd >= 0) {
            close(fd);
        }
    });
    worker.join();
    if (failure) {
        std::rethrow_exception(failure);
    }
}

RunningProgram TestNetwork::Spawn(int host, const std::vector<std::string>& argv,
                                  const std::vector<std::string>& env) const {
    RunningProgram program;
    if (!program.Start(InHost(host, argv), env)) {
        throw std::runtime_error("test network: cannot start " +
                                 (argv.empty() ? std::string("nothing") : argv[0]));
    }
    return program;
}

void TestNetwork::RemoveAll() {
    const std::vector<std::string> existing = NamespaceNames();
    auto exists = [&](const std::string& name) {
        for (const std::string& candidate : existing) {
            if (candidate == name) {
                return true;
            }
        }
        return false;
    };
    for (int host = 1; host <= hosts_; ++host) {
        if (exists(Namespace(host))) {
            RemoveNamespace(Namespace(host));
        }
    }
    if (exists(SwitchNamespace())) {
        RemoveNamespace(SwitchNamespace());
    }
}

}  // namespace quarn::test_support
