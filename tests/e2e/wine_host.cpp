#include "tests/e2e/wine_host.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace quarn::e2e {
namespace {

const std::string kWine = "/usr/lib/wine/wine64";
const std::string kWineServer = "/usr/lib/wine/wineserver64";
constexpr auto kServerStartLimit = std::chrono::seconds(10);

std::string EnvValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool IsFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::string WindowsBuild::Unavailable() {
    const WindowsBuild build = FromEnvironment();
    if (build.programDir.empty() || build.prefix.empty()) {
        return "QUARN_WINDOWS_ENDPOINT_DIR and QUARN_WINE_PREFIX are not set (the Windows "
               "step of scripts/test.sh sets them)";
    }
    for (const std::string& file : {build.Program(), build.programDir + "/iperf.exe",
                                    build.prefix + "/system.reg", kWine, kWineServer}) {
        if (!IsFile(file)) {
            return "missing " + file;
        }
    }
    return {};
}

WindowsBuild WindowsBuild::FromEnvironment() {
    return {EnvValue("QUARN_WINDOWS_ENDPOINT_DIR"), EnvValue("QUARN_WINE_PREFIX")};
}

WineHost::WineHost(const test_support::TestNetwork& network, int host, const WindowsBuild& build,
                   std::vector<std::string> env)
    : network_(network),
      host_(host),
      build_(build),
      env_(std::move(env)),
      prefix_(build.prefix + "-q" + std::to_string(getpid()) + "-h" + std::to_string(host)) {
    std::filesystem::remove_all(prefix_);
    // Hard links: the copy costs a moment, and Wine replaces files rather than rewriting them.
    const test_support::CommandResult copied =
        test_support::RunCommand({"cp", "-al", build_.prefix, prefix_}, 60000);
    if (copied.exitCode != 0) {
        throw std::runtime_error("cannot copy the Wine prefix: " + copied.output);
    }
    // In the foreground, so that this object owns it and ends it.
    server_ = network_.Spawn(host_, {kWineServer, "-f", "-p"}, Env());
    WaitForServer();
    StartSystemProcesses();
}

WineHost::~WineHost() {
    server_.Kill();
    server_.WaitExit(5000);
    std::error_code ignored;
    if (const std::string dir = ServerDir(); !dir.empty()) {
        std::filesystem::remove_all(dir, ignored);
    }
    std::filesystem::remove_all(prefix_, ignored);
}

test_support::RunningProgram WineHost::SpawnEndPoint(const std::vector<std::string>& args) const {
    std::vector<std::string> argv = {build_.Program()};
    argv.insert(argv.end(), args.begin(), args.end());
    return network_.Spawn(host_, WineArgv(argv), Env());
}

test_support::CommandResult WineHost::RunEndPoint(const std::vector<std::string>& args,
                                                  int timeoutMs) const {
    std::vector<std::string> argv = {build_.Program()};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunWine(argv, timeoutMs);
}

test_support::CommandResult WineHost::RunWine(const std::vector<std::string>& args,
                                              int timeoutMs) const {
    return network_.Run(host_, WineArgv(args), Env(), timeoutMs);
}

std::vector<ProcessView> WineHost::IperfProcesses() const {
    std::vector<ProcessView> iperfs;
    for (ProcessView& process : ProcessesInNamespace(network_.Namespace(host_))) {
        if (process.name == "iperf.exe") {
            iperfs.push_back(std::move(process));
        }
    }
    return iperfs;
}

bool WineHost::IperfGoneWithin(int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!IperfProcesses().empty()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

std::string WineHost::DriveCPath(const std::string& below) const {
    return prefix_ + "/drive_c/" + below;
}

std::vector<std::string> WineHost::Env() const {
    std::vector<std::string> env = {"WINEPREFIX=" + prefix_, "WINEDEBUG=-all",
                                    // No Mono or Gecko prompt in a prefix without them.
                                    "WINEDLLOVERRIDES=mscoree,mshtml="};
    env.insert(env.end(), env_.begin(), env_.end());
    return env;
}

std::vector<std::string> WineHost::WineArgv(const std::vector<std::string>& args) const {
    std::vector<std::string> argv = {kWine};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

// Wine's rendezvous with its server: a socket in a folder named after the prefix's device
// and inode, below /tmp/.wine-<uid>, or below the /tmp folder that Debian's Wine names in
// the prefix's "wineserver" file.
std::string WineHost::ServerDir() const {
    struct stat info {};
    if (stat(prefix_.c_str(), &info) != 0) {
        return {};
    }
    std::string base = "/tmp/.wine-" + std::to_string(getuid());
    std::ifstream named(prefix_ + "/wineserver");
    if (std::string tag;
        std::getline(named, tag) && !tag.empty() && tag.find('/') == std::string::npos) {
        base = "/tmp/" + tag;
    }
    char name[64];
    std::snprintf(name, sizeof name, "/server-%llx-%llx",
                  static_cast<unsigned long long>(info.st_dev),
                  static_cast<unsigned long long>(info.st_ino));
    return base + name;
}

// The first Windows program of a session starts Wine's system processes, which keep its
// stderr until the session ends: a program reading that would wait for nothing.
void WineHost::StartSystemProcesses() const {
    std::vector<std::string> argv = {"sh", "-c", "exec \"$@\" </dev/null >/dev/null 2>&1", "sh"};
    const std::vector<std::string> wine = WineArgv({"cmd", "/c", "exit"});
    argv.insert(argv.end(), wine.begin(), wine.end());
    const test_support::CommandResult started = network_.Run(host_, argv, Env(), 60000);
    if (!started.finished) {
        throw std::runtime_error("Wine's system processes did not start for " + prefix_);
    }
}

// A Windows program started before the server listens would start a second server, in
// whatever namespace that program happens to be.
void WineHost::WaitForServer() const {
    const std::string socket = ServerDir() + "/socket";
    const auto deadline = std::chrono::steady_clock::now() + kServerStartLimit;
    struct stat info {};
    while (stat(socket.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            throw std::runtime_error("no wineserver for " + prefix_);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace quarn::e2e
