#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/program_runner.h"

namespace quarn::test_support {

// Hosts as network namespaces on one bridge, all removed again by the destructor.
// Host i (1-based) lives in namespace "q<pid>-h<i>" with eth0 = 198.18.0.<10+i>/24 and a
// default route through eth0; the bridge sits in its own namespace "q<pid>-sw". Nothing
// touches the machine's own interfaces. One network per process at a time.
class TestNetwork {
  public:
    // Empty when namespaces can be built here; otherwise the reason they cannot.
    static std::string Unavailable();

    // Throws std::runtime_error (after removing what it built) when a step fails.
    explicit TestNetwork(int hosts);
    ~TestNetwork();
    TestNetwork(const TestNetwork&) = delete;
    TestNetwork& operator=(const TestNetwork&) = delete;

    int Hosts() const { return hosts_; }
    std::string Address(int host) const;
    std::string Namespace(int host) const;

    // A further address ("198.18.0.77/24") on the host's eth0.
    void AddAddress(int host, const std::string& cidr);
    // A further interface on a second bridge (subnet 198.19.0.0/24), for example
    // "198.19.0.11/24"; returns the interface's name inside the host.
    std::string AddInterface(int host, const std::string& cidr);

    // The bridge's namespace; its port to host i is "h<i>" (to shape a host's link there).
    std::string SwitchNamespace() const;

    // argv prefixed with "ip netns exec <namespace>".
    std::vector<std::string> InHost(int host, const std::vector<std::string>& argv) const;
    // Runs a command inside the host to its end.
    CommandResult Run(int host, const std::vector<std::string>& argv,
                      const std::vector<std::string>& env = {}, int timeoutMs = 10000) const;
    // Runs fn on a thread that has entered the host's network namespace and waits for it.
    // Sockets made there stay in that namespace and may be used from any thread after, so
    // the test process talks to the hosts without ever using the machine's interfaces.
    // Throws when the namespace cannot be entered.
    void RunInHost(int host, const std::function<void()>& fn) const;
    // Starts a program inside the host; the handle kills and reaps it when destroyed.
    // Throws when the program cannot be started.
    RunningProgram Spawn(int host, const std::vector<std::string>& argv,
                         const std::vector<std::string>& env = {}) const;

  private:
    void Build();
    void AddHost(int host);
    void EnsureSecondBridge();
    void RemoveAll();

    int hosts_;
    std::string prefix_;
    bool secondBridge_ = false;
    int interfacesAdded_ = 0;
    static std::atomic<bool> inUse_;
};

}  // namespace quarn::test_support

// Skips the current test when network namespaces cannot be built (not root, no `ip`).
#define QUARN_SKIP_WITHOUT_NETNS()                                                              \
    do {                                                                                        \
        const std::string quarnNetnsReason = ::quarn::test_support::TestNetwork::Unavailable(); \
        if (!quarnNetnsReason.empty()) {                                                        \
            GTEST_SKIP() << quarnNetnsReason;                                                   \
        }                                                                                       \
    } while (false)
