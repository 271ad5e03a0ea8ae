#pragma once

#include <string>
#include <vector>

#include "tests/e2e/namespace_processes.h"
#include "tests/support/program_runner.h"
#include "tests/support/test_network.h"

namespace quarn::e2e {

// Where the cross-built Windows EndPoint is: a folder with Quarn_EndPoint.exe and iperf.exe
// beside it, and an initialised Wine prefix to copy. Both come from the environment
// (QUARN_WINDOWS_ENDPOINT_DIR, QUARN_WINE_PREFIX), set by the Windows step of the tests.
struct WindowsBuild {
    std::string programDir;
    std::string prefix;

    // Empty when the build and Wine can be used; otherwise why not.
    static std::string Unavailable();
    static WindowsBuild FromEnvironment();
    std::string Program() const { return programDir + "/Quarn_EndPoint.exe"; }
};

// One host of a TestNetwork running Windows programs. Wine's sockets are made by the
// wineserver, so the host gets a Wine prefix of its own (hard links to the template's
// files) and its own wineserver started inside its namespace. The destructor ends the
// server, and with it every Windows process of the host, and removes the copy.
class WineHost {
  public:
    // Throws std::runtime_error when the prefix cannot be copied or the server not started.
    // env is added to every Windows program's environment, e.g. a locale.
    WineHost(const test_support::TestNetwork& network, int host, const WindowsBuild& build,
             std::vector<std::string> env);
    ~WineHost();
    WineHost(const WineHost&) = delete;
    WineHost& operator=(const WineHost&) = delete;

    // The Windows EndPoint with these arguments, running inside the host.
    test_support::RunningProgram SpawnEndPoint(const std::vector<std::string>& args) const;
    test_support::CommandResult RunEndPoint(const std::vector<std::string>& args,
                                            int timeoutMs = 20000) const;
    // Any program of the prefix (for example "cmd") run to its end inside the host.
    test_support::CommandResult RunWine(const std::vector<std::string>& args,
                                        int timeoutMs = 20000) const;

    // The iperf.exe processes running inside the host.
    std::vector<ProcessView> IperfProcesses() const;
    // Polls until no iperf.exe is left; false when some still run after timeoutMs.
    bool IperfGoneWithin(int timeoutMs) const;

    // A file of the prefix's drive C:, by its path below it ("users/.../x.conf").
    std::string DriveCPath(const std::string& below) const;

  private:
    std::vector<std::string> Env() const;
    std::vector<std::string> WineArgv(const std::vector<std::string>& args) const;
    void WaitForServer() const;
    void StartSystemProcesses() const;
    std::string ServerDir() const;

    const test_support::TestNetwork& network_;
    int host_;
    WindowsBuild build_;
    std::vector<std::string> env_;
    std::string prefix_;
    test_support::RunningProgram server_;
};

}  // namespace quarn::e2e
