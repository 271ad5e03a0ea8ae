// Quarn_EndPoint with the real iperf, on hosts built from network namespaces: hosts 1 and 2
// run EndPoints, the test speaks from host 3 like the Console does.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

#include "address/ipv4.h"
#include "labkey/control_handshake.h"
#include "labkey/key_file.h"
#include "platform/socket.h"
#include "protocol/auth_messages.h"
#include "protocol/messages.h"
#include "tests/e2e/peer_requests.h"
#include "tests/support/fake_iperf.h"
#include "tests/support/notify_listener.h"
#include "tests/support/socket_reading.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_network.h"

namespace quarn::e2e {
namespace {

using test_support::ReadUntilClosed;
using test_support::ReadUntilContains;
using test_support::RunningProgram;
using test_support::TempDir;
using test_support::TestNetwork;

const std::string kIperf = "/usr/bin/iperf";
const std::string kBroadcast = "198.18.0.255";
constexpr int kStartTimeoutMs = 5000;

uint32_t Ipv4(const std::string& text) {
    return ParseIpv4(text).value();
}

// User and system time a process has used so far.
double CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int index = 3; fields >> field && index <= 15; ++index) {
        if (index == 14 || index == 15) {  // utime, stime
            ticks += std::stol(field);
        }
    }
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

class EndPointNetwork : public ::testing::Test {
  protected:
    void SetUp() override {
        QUARN_SKIP_WITHOUT_NETNS();
        if (access(kIperf.c_str(), X_OK) != 0) {
            GTEST_SKIP() << "iperf 2 is not installed at " << kIperf;
        }
        net_ = std::make_unique<TestNetwork>(3);
    }

    // Every EndPoint must end cleanly on SIGTERM (a sanitizer report would fail the exit
    // code); ending them before the network also lets them end their own iperf processes.
    void TearDown() override {
        for (auto& [host, endPoint] : endPoints_) {
            endPoint.Signal(SIGTERM);
            EXPECT_TRUE(endPoint.WaitExit(5000)) << "host " << host;
            endPoint.ReadRemainingLines(1000);
            EXPECT_EQ(endPoint.ExitCode(), 0) << "host " << host << "\n" << endPoint.Transcript();
        }
    }

    std::vector<std::string> EndPointEnv(int host) {
        return {"QUARN_CONFIG_HOME=" + configs_[host].Path(), "QUARN_IPERF=" + kIperf,
                "LC_ALL=C.UTF-8"};
    }

    std::vector<std::string> EndPointArgs(std::vector<std::string> options) {
        options.insert(options.begin(), test_support::BuiltProgramPath("Quarn_EndPoint"));
        return options;
    }

    // Stores the name, starts the EndPoint and waits for its start line. Entries of extraEnv
    // replace those of the same name.
    RunningProgram& StartEndPoint(int host, const std::string& name,
                                  const std::vector<std::string>& extraEnv = {},
                                  const std::vector<std::string>& extraArgs = {}) {
        const auto stored = net_->Run(host, EndPointArgs({"--set-name", name}), EndPointEnv(host));
        EXPECT_EQ(stored.exitCode, 0) << stored.output;
        std::vector<std::string> env = EndPointEnv(host);
        for (const std::string& extra : extraEnv) {
            const std::string name = extra.substr(0, extra.find('=') + 1);
            std::erase_if(env, [&](const std::string& entry) { return entry.starts_with(name); });
            env.push_back(extra);
        }
        std::vector<std::string> args = {"--headless"};
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
        endPoints_[host] = net_->Spawn(host, EndPointArgs(args), env);
        RunningProgram& endPoint = endPoints_[host];
        startLines_[host] = endPoint.WaitForLine("Started: ", kStartTimeoutMs).value_or("");
        EXPECT_NE(startLines_[host], "") << endPoint.Transcript();
        return endPoint;
    }

    platform::Socket Request(int fromHost, const std::string& address, const std::string& text) {
        return e2e::Request(*net_, fromHost, address, text);
    }

    std::vector<std::string> Broadcast(int fromHost, const std::string& word, int collectMs) {
        return Probe(*net_, fromHost, kBroadcast, word, collectMs);
    }

    // iperf processes running inside a host.
    int IperfCount(int host) { return ProgramCount(host, kIperf); }

    // Processes of the program at path running inside a host.
    int ProgramCount(int host, const std::string& path) {
        std::istringstream lines(
            test_support::RunCommand({"ip", "netns", "pids", net_->Namespace(host)}).output);
        int count = 0;
        for (std::string pid; std::getline(lines, pid);) {
            char exe[PATH_MAX] = {};
            const std::string link = "/proc/" + pid + "/exe";
            if (readlink(link.c_str(), exe, sizeof exe - 1) > 0 && path == exe) {
                ++count;
            }
        }
        return count;
    }

    // The environment of every iperf process running inside a host, one string per process.
    std::vector<std::string> IperfEnvironments(int host) {
        std::istringstream lines(
            test_support::RunCommand({"ip", "netns", "pids", net_->Namespace(host)}).output);
        std::vector<std::string> environments;
        for (std::string pid; std::getline(lines, pid);) {
            char exe[PATH_MAX] = {};
            const std::string link = "/proc/" + pid + "/exe";
            if (readlink(link.c_str(), exe, sizeof exe - 1) > 0 && kIperf == exe) {
                std::ifstream in("/proc/" + pid + "/environ", std::ios::binary);
                environments.emplace_back(std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>());
            }
        }
        return environments;
    }

    bool IperfGoneWithin(int host, int timeoutMs) {
        for (int waited = 0; waited < timeoutMs; waited += 50) {
            if (IperfCount(host) == 0) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return IperfCount(host) == 0;
    }

    std::string ServerRequestReply(int fromHost, const std::string& address,
                                   platform::Socket& connection) {
        return e2e::ServerRequestReply(*net_, fromHost, address, connection);
    }

    // Declared first so that it goes last, after the programs running inside it.
    std::unique_ptr<TestNetwork> net_;
    std::map<int, TempDir> configs_;
    std::map<int, std::string> startLines_;
    std::map<int, RunningProgram> endPoints_;
};

TEST_F(EndPointNetwork, ProbeIsAnsweredOncePerQualifyingAddressWithTheStoredName) {
    net_->AddInterface(1, "198.19.0.11/24");
    StartEndPoint(1, "Bench One");
    const std::string korean = "\xEC\x8B\x9C\xED\x97\x98 PC";  // a Korean name with a space
    StartEndPoint(2, korean);
    EXPECT_EQ(startLines_[1], "Started: Bench One (198.18.0.11 / 198.19.0.11)");
    EXPECT_EQ(startLines_[2], "Started: " + korean + " (198.18.0.12)");

    // A name that is not plain ASCII carries the UTF-8 mark, so that no Console decodes it
    // in its own 8-bit code page.
    const std::vector<std::string> replies = Broadcast(3, "hello", 1000);
    EXPECT_EQ(replies, (std::vector<std::string>{"198.18.0.11 5001 45000 Bench One",
                                                 "198.18.0.12 5001 1555 " + korean,
                                                 "198.19.0.11 5001 45000 Bench One"}));
}

TEST_F(EndPointNetwork, ServerRequestGetsOkAndStreamsTheServerUntilSigterm) {
    RunningProgram& endPoint2 = StartEndPoint(2, "Bench Two");
    platform::Socket connection;
    ASSERT_EQ(ServerRequestReply(3, net_->Address(2), connection), "ok;5001\r\n");
    EXPECT_TRUE(endPoint2.WaitForLine("Running", 3000)) << endPoint2.Transcript();

    RunningProgram client = net_->Spawn(
        3, {kIperf, "-c", net_->Address(2), "-p", "5001", "-t", "2", "-i", "1", "-f", "m"});
    const auto stream = ReadUntilContains(connection, "Mbits/sec", 10000);
    EXPECT_NE(stream.data.find(" sec "), std::string::npos) << stream.data;
    EXPECT_TRUE(client.WaitExit(10000));

    ASSERT_TRUE(endPoint2.Signal(SIGTERM));
    EXPECT_TRUE(endPoint2.WaitExit(3000));
    EXPECT_EQ(endPoint2.ExitCode(), 0);
    EXPECT_TRUE(ReadUntilClosed(connection, 2000).closed);
    EXPECT_EQ(IperfCount(2), 0);
}

// Under a service manager: it hears "READY=1" once the ports are bound and "STOPPING=1" at
// SIGTERM, while the iperf the EndPoint starts never sees the manager's socket.
TEST_F(EndPointNetwork, ServiceManagerHearsReadyAndStoppingAndIperfNotOfIt) {
    TempDir notifyDir;
    const std::string socketPath = notifyDir.File("notify");
    const test_support::NotifyListener manager(socketPath);
    ASSERT_TRUE(manager.Bound());
    std::vector<std::string> env = EndPointEnv(2);
    env.push_back("NOTIFY_SOCKET=" + socketPath);
    endPoints_[2] = net_->Spawn(2, EndPointArgs({"--headless"}), env);
    RunningProgram& endPoint = endPoints_[2];
    EXPECT_TRUE(endPoint.WaitForLine("Started: ", kStartTimeoutMs)) << endPoint.Transcript();
    EXPECT_EQ(manager.Receive(), "READY=1");

    platform::Socket connection;
    ASSERT_EQ(ServerRequestReply(3, net_->Address(2), connection), "ok;5001\r\n");
    EXPECT_TRUE(endPoint.WaitForLine("Running", 3000)) << endPoint.Transcript();
    const std::vector<std::string> environments = IperfEnvironments(2);
    ASSERT_EQ(environments.size(), 1u);
    EXPECT_NE(environments[0].find("QUARN_IPERF_OWNER="), std::string::npos);
    EXPECT_EQ(environments[0].find("NOTIFY_SOCKET="), std::string::npos);

    ASSERT_TRUE(endPoint.Signal(SIGTERM));
    EXPECT_EQ(manager.Receive(), "STOPPING=1");
    EXPECT_TRUE(endPoint.WaitExit(3000));
    EXPECT_EQ(endPoint.ExitCode(), 0);
}

TEST_F(EndPointNetwork, ClientCommandRelaysTheServerReportAndRestartEndsEverything) {
    StartEndPoint(1, "Bench One");
    StartEndPoint(2, "Bench Two");
    const platform::Socket console =
        Request(3, net_->Address(1), " -c " + net_->Address(2) + " -i 1 -t 300 -f m\r\n");
    std::string stream;
    for (int second = 0; second < 10 && CountOccurrences(stream, "Mbits/sec") < 2; ++second) {
        stream += ReadUntilContains(console, "Mbits/sec", 1000).data;
    }
    EXPECT_GE(CountOccurrences(stream, "Mbits/sec"), 2) << stream;
    EXPECT_EQ(stream.find("ok;"), std::string::npos);
    EXPECT_GE(IperfCount(1), 1);  // the client
    EXPECT_GE(IperfCount(2), 1);  // the server

    EXPECT_TRUE(Broadcast(3, "restart", 100).empty());
    EXPECT_TRUE(IperfGoneWithin(1, 3000));
    EXPECT_TRUE(IperfGoneWithin(2, 3000));
    EXPECT_TRUE(ReadUntilClosed(console, 5000).closed);

    platform::Socket next;
    EXPECT_EQ(ServerRequestReply(3, net_->Address(2), next), "ok;5001\r\n");
}

TEST_F(EndPointNetwork, TakenControlPortPrintsTheNoticeAndFails) {
    platform::Socket holder;
    net_->RunInHost(1, [&] { holder = platform::TcpListen(0, protocol::kControlPort, 1); });
    ASSERT_TRUE(holder.Valid());
    RunningProgram endPoint = net_->Spawn(1, EndPointArgs({"--headless"}), EndPointEnv(1));
    EXPECT_EQ(endPoint.ReadRemainingLines(5000),
              (std::vector<std::string>{"The port required for EndPoint is in use by",
                                        "another program. Please terminate the program",
                                        "and run EndPoint again. (TCP port: 45000)"}));
    EXPECT_TRUE(endPoint.WaitExit(3000));
    EXPECT_NE(endPoint.ExitCode().value_or(0), 0);
}

TEST_F(EndPointNetwork, SecondEndPointOnAHostRefusesToStart) {
    StartEndPoint(2, "Bench Two");
    const auto second = net_->Run(2, EndPointArgs({"--headless"}), EndPointEnv(2), 5000);
    EXPECT_TRUE(second.finished);
    EXPECT_NE(second.exitCode, 0);
    EXPECT_NE(second.output.find("already running"), std::string::npos) << second.output;
}

TEST_F(EndPointNetwork, HostileRequestsCloseWithoutTextAndServingGoesOn) {
    RunningProgram& endPoint2 = StartEndPoint(2, "Bench Two");
    const std::string address = net_->Address(2);
    const std::vector<std::string> hostile = {
        "server_config -s -f m -i 1 -D\r\n",
        " -c 198.18.0.11 -i 1 -t 3 -f m; reboot\r\n",
        " -c 127.0.0.1 -i 1 -t 999999999 -f m\r\n",
        " -c 198.18.0.11 -i 1 -t 300 -P 2000 -f m\r\n",
        "server_config -s -f m -i 1 -w 1M|sh\r\n",
        std::string(protocol::kMaxRequestLine + 1000, 'x'),
    };
    for (const std::string& request : hostile) {
        const auto read = ReadUntilClosed(Request(3, address, request), 3000);
        EXPECT_TRUE(read.closed) << request.substr(0, 60);
        EXPECT_EQ(read.data, "") << request.substr(0, 60);
    }
    EXPECT_EQ(IperfCount(2), 0);

    // One host's idle connections: 24 are held, the rest closed without text, and they
    // no longer lock other requesters out.
    std::vector<platform::Socket> idle;
    for (int i = 0; i < 70; ++i) {
        idle.push_back(Request(3, address, ""));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    int closed = 0;
    for (const platform::Socket& socket : idle) {
        const auto read = ReadUntilClosed(socket, 20);
        closed += read.closed ? 1 : 0;
        EXPECT_EQ(read.data, "");
    }
    EXPECT_EQ(closed, 70 - 24);
    platform::Socket other;
    EXPECT_EQ(ServerRequestReply(1, address, other), "ok;5001\r\n") << endPoint2.Transcript();
    idle.clear();

    std::string reply;
    for (int attempt = 0; attempt < 20 && reply.empty(); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        platform::Socket connection;
        reply = ServerRequestReply(3, address, connection);
    }
    EXPECT_EQ(reply, "ok;5004\r\n") << endPoint2.Transcript();
}

// What no Console sends, each of which would have the EndPoints flood each other, the
// EndPoint itself or the whole segment, starts nothing.
TEST_F(EndPointNetwork, FloodRequestsAreRefusedWithoutText) {
    StartEndPoint(1, "Bench One");
    StartEndPoint(2, "Bench Two");
    const std::string two = net_->Address(2);
    const std::vector<std::string> floods = {
        " -c " + two + " -u -P 16 -b 999g -t 259500 -i 1 -f m\r\n",
        " -c " + two + " -u -P 2 -b 1m -t 10 -i 1 -f m\r\n",
        " -c " + two + " -u -b 200g -t 10 -i 1 -f m\r\n",
        " -c 127.0.0.1 -u -b 1m -t 10 -i 1 -f m\r\n",
        " -c " + net_->Address(1) + " -u -b 1m -t 10 -i 1 -f m\r\n",  // itself
        " -c " + kBroadcast + " -u -b 1m -t 10 -i 1 -f m\r\n",
        " -c 255.255.255.255 -u -b 1m -t 10 -i 1 -f m\r\n",
        " -c 224.0.0.1 -u -b 1m -t 10 -i 1 -f m\r\n",
        " -c 0.0.0.0 -u -b 1m -t 10 -i 1 -f m\r\n",
    };
    for (const std::string& request : floods) {
        const auto read = ReadUntilClosed(Request(3, net_->Address(1), request), 3000);
        EXPECT_TRUE(read.closed) << request;
        EXPECT_EQ(read.data, "") << request;
    }
    EXPECT_EQ(IperfCount(1), 0);
    EXPECT_EQ(IperfCount(2), 0);
}

// A requester that takes its "ok" and then reads nothing more is let go once its writes
// have waited the stalled-peer limit (30 s; shortened here), iperf server and all.
TEST_F(EndPointNetwork, RequesterThatStopsReadingIsLetGo) {
    const std::string fake = test_support::FakeIperfPath();
    StartEndPoint(2, "Bench Two",
                  {"QUARN_IPERF=" + fake, "QUARN_STALLED_PEER_MS=1500",
                   "FAKE_IPERF_SCRIPT=server *: listen; report 5000000 0"});
    platform::Socket stalled;
    ASSERT_EQ(ServerRequestReply(3, net_->Address(2), stalled), "ok;5001\r\n");
    const auto start = std::chrono::steady_clock::now();
    // Never read: the buffers fill, then the EndPoint's write waits out its limit and the
    // server it started ends.
    const std::string running = std::filesystem::canonical(fake).string();
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ended = ProgramCount(2, running) == 0;
    }
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(ended);
    EXPECT_GE(took, std::chrono::milliseconds(1500));
    EXPECT_LT(took, std::chrono::seconds(15));
    EXPECT_TRUE(ReadUntilClosed(stalled, 10000).closed);  // closed, or reset by the limit
    platform::Socket next;                                // its slot is free for the next request
    EXPECT_EQ(ServerRequestReply(3, net_->Address(2), next).substr(0, 3), "ok;");
}

// A stranger's flood of "restart" is obeyed once a second per source and costs the
// EndPoint a small share of a core.
TEST_F(EndPointNetwork, RestartIsObeyedOnceASecondPerSourceAndAFloodIsCheap) {
    const RunningProgram& endPoint = StartEndPoint(2, "Bench Two");
    platform::Socket server;
    ASSERT_EQ(ServerRequestReply(1, net_->Address(2), server), "ok;5001\r\n");
    EXPECT_TRUE(Broadcast(3, "restart", 100).empty());
    EXPECT_TRUE(IperfGoneWithin(2, 3000));
    // Within the same second a second "restart" from that source is ignored.
    platform::Socket again;
    ASSERT_EQ(ServerRequestReply(1, net_->Address(2), again), "ok;5001\r\n");
    EXPECT_TRUE(Broadcast(3, "restart", 100).empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(IperfCount(2), 1);

    platform::Socket flooder;
    net_->RunInHost(3, [&] { flooder = platform::UdpBind(0, 0, /*broadcast=*/false); });
    const double before = CpuSeconds(endPoint.Pid());
    const auto start = std::chrono::steady_clock::now();
    int sent = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(3)) {
        for (int burst = 0; burst < 20; ++burst, ++sent) {
            platform::SendTo(flooder, "restart", Ipv4(net_->Address(2)), protocol::kDiscoveryPort);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double share = (CpuSeconds(endPoint.Pid()) - before) / seconds;
    EXPECT_GE(sent, 10000);
    EXPECT_LT(share, 0.05) << sent << " restarts in " << seconds << " s";
    std::cout << "restart flood: " << sent << " datagrams in " << seconds << " s cost "
              << share * 100 << " % of a core\n";
    EXPECT_TRUE(IperfGoneWithin(2, 3000));  // the flood's own first copy was obeyed
}

// Two EndPoints sharing a lab key, and requesters with it, without it and with another.
class KeyedEndPoints : public EndPointNetwork {
  protected:
    void SetUp() override {
        EndPointNetwork::SetUp();
        if (IsSkipped()) {
            return;
        }
        std::string why;
        ASSERT_TRUE(labkey::WriteNewKeyFile(keyDir_.File("lab.key"), why)) << why;
        key_ = labkey::LoadKeyFile(keyDir_.File("lab.key"), why).value();
        for (int host : {1, 2}) {
            StartEndPoint(host, "Keyed " + std::to_string(host), {},
                          {"--lab-key", keyDir_.File("lab.key")});
        }
    }

    // A control connection from host 3 with line sent the keyed way.
    platform::Socket KeyedRequest(const std::string& address, const std::string& line,
                                  const labkey::LabKey& key, labkey::Handshake& outcome) {
        platform::Socket connection;
        net_->RunInHost(3, [&] {
            connection = platform::TcpConnect(Ipv4(address), protocol::kControlPort, 3000);
        });
        outcome = labkey::SendWithKey(connection, key, line, std::chrono::milliseconds(3000));
        return connection;
    }

    std::string SignedRestart(const std::string& nonce) const {
        const long long now = std::chrono::duration_cast<std::chrono::seconds>(
                                  std::chrono::system_clock::now().time_since_epoch())
                                  .count();
        return protocol::FormatAuthRestart(
            now, nonce, labkey::ToHex(key_->Tag(protocol::RestartTagInput(now, nonce))));
    }

    void SendFrom3(const std::string& datagram) {
        platform::Socket sender;
        net_->RunInHost(3, [&] { sender = platform::UdpBind(0, 0, /*broadcast=*/true); });
        platform::SendTo(sender, datagram, Ipv4(kBroadcast), protocol::kDiscoveryPort);
    }

    TempDir keyDir_;
    std::optional<labkey::LabKey> key_;
};

TEST_F(KeyedEndPoints, MeasureForARequesterWithTheKey) {
    labkey::Handshake outcome{};
    const platform::Socket console = KeyedRequest(
        net_->Address(1), " -c " + net_->Address(2) + " -i 1 -t 300 -f m", *key_, outcome);
    EXPECT_EQ(outcome, labkey::Handshake::Authenticated);
    // End Point 1 asked End Point 2 with the key too, or End Point 2 would have refused.
    std::string stream;
    for (int second = 0; second < 10 && CountOccurrences(stream, "Mbits/sec") < 2; ++second) {
        stream += ReadUntilContains(console, "Mbits/sec", 1000).data;
    }
    EXPECT_GE(CountOccurrences(stream, "Mbits/sec"), 2) << stream;
    EXPECT_GE(IperfCount(1), 1);
    EXPECT_GE(IperfCount(2), 1);
}

// An older Console (plain requests) and one with another key get a cause that names the
// key, and no iperf starts anywhere.
TEST_F(KeyedEndPoints, RefuseRequestersWithoutTheKeyOrWithAnother) {
    const std::string client = " -c " + net_->Address(2) + " -i 1 -t 10 -f m\r\n";
    EXPECT_EQ(ReadUntilClosed(Request(3, net_->Address(1), client), 3000).data,
              "refused: lab key required\r\n");
    platform::Socket plain;
    EXPECT_EQ(ServerRequestReply(3, net_->Address(2), plain), "refused: lab key required\r\n");

    labkey::Handshake outcome{};
    const platform::Socket other = KeyedRequest(
        net_->Address(1), client.substr(0, client.size() - 2), labkey::LabKey::Generate(), outcome);
    EXPECT_EQ(outcome, labkey::Handshake::KeyMismatch);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(IperfCount(1), 0);
    EXPECT_EQ(IperfCount(2), 0);
}

// A stranger's bare "restart" ends nothing; an authenticated one ends the run once, and
// the same datagram sent again later does nothing.
TEST_F(KeyedEndPoints, RestartOnlyAuthenticatedAndOnlyOnce) {
    const std::string server(
        protocol::kServerRequestTcp.substr(0, protocol::kServerRequestTcp.size() - 2));
    labkey::Handshake outcome{};
    const platform::Socket first = KeyedRequest(net_->Address(2), server, *key_, outcome);
    ASSERT_EQ(outcome, labkey::Handshake::Authenticated);
    ASSERT_EQ(ReadUntilContains(first, "\r\n", 3000).data.substr(0, 3), "ok;");
    SendFrom3("restart");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(IperfCount(2), 1);

    const std::string restart = SignedRestart(std::string(32, 'e'));
    for (int copy = 0; copy < 3; ++copy) {
        SendFrom3(restart);
    }
    EXPECT_TRUE(IperfGoneWithin(2, 3000));

    const platform::Socket second = KeyedRequest(net_->Address(2), server, *key_, outcome);
    ASSERT_EQ(ReadUntilContains(second, "\r\n", 3000).data.substr(0, 3), "ok;");
    SendFrom3(restart);  // captured and replayed
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(IperfCount(2), 1);
}

// The client and the server it asked for ran on for the whole "-t" after the requester
// had gone.
TEST_F(EndPointNetwork, ClientRunEndsWithItsRequester) {
    StartEndPoint(1, "Bench One");
    StartEndPoint(2, "Bench Two");
    platform::Socket console = Request(
        3, net_->Address(1), " -c " + net_->Address(2) + " -i 1 -t 259500 -u -b 1M -f m\r\n");
    EXPECT_NE(ReadUntilContains(console, "Mbits/sec", 10000).data, "");
    EXPECT_EQ(IperfCount(1), 1);
    EXPECT_EQ(IperfCount(2), 1);
    console.Close();
    EXPECT_TRUE(IperfGoneWithin(1, 3000));
    EXPECT_TRUE(IperfGoneWithin(2, 3000));
}

// Sixteen pairs between the same two hosts, all at once, stay within every per-host bound.
TEST_F(EndPointNetwork, SixteenPairsBetweenTheSameTwoHostsAllRun) {
    StartEndPoint(1, "Bench One");
    StartEndPoint(2, "Bench Two");
    std::vector<platform::Socket> consoles;
    for (int pair = 0; pair < 16; ++pair) {
        consoles.push_back(Request(3, net_->Address(1),
                                   " -c " + net_->Address(2) + " -i 1 -t 300 -u -b 1M -f m\r\n"));
    }
    int reporting = 0;
    for (const platform::Socket& console : consoles) {
        reporting += ReadUntilContains(console, "Mbits/sec", 15000).data.find("Mbits/sec") !=
                             std::string::npos
                         ? 1
                         : 0;
    }
    EXPECT_EQ(reporting, 16);
    EXPECT_EQ(IperfCount(1), 16);
    EXPECT_EQ(IperfCount(2), 16);
}

// Probes sent as fast as possible earned a reply each; a Console's search (three probes a
// second apart) is still answered in full, also while another host floods.
TEST_F(EndPointNetwork, ProbeFloodIsAnsweredAtABoundedRateAndSearchesInFull) {
    StartEndPoint(2, "Bench Two");
    platform::Socket flooder;
    net_->RunInHost(3, [&] { flooder = platform::UdpBind(0, 0, /*broadcast=*/false); });
    for (int probe = 0; probe < 200; ++probe) {
        platform::SendTo(flooder, "hello", Ipv4(net_->Address(2)), protocol::kDiscoveryPort);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const int floodReplies = CountReplies(flooder);
    EXPECT_GE(floodReplies, 1);
    EXPECT_LE(floodReplies, 8);

    int searchReplies = 0;
    for (int probe = 0; probe < 3; ++probe) {
        for (int flood = 0; flood < 50; ++flood) {
            platform::SendTo(flooder, "hello", Ipv4(net_->Address(2)), protocol::kDiscoveryPort);
        }
        searchReplies += static_cast<int>(Broadcast(1, "hello", 1000).size());
    }
    EXPECT_EQ(searchReplies, 3);
}

TEST_F(EndPointNetwork, SetNameRefusesAnOverlongName) {
    const auto refused =
        net_->Run(1, EndPointArgs({"--set-name", std::string(121, 'n')}), EndPointEnv(1));
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_NE(refused.output.find("at most 120 characters"), std::string::npos) << refused.output;
    StartEndPoint(1, std::string(120, 'n'));
    EXPECT_EQ(startLines_[1], "Started: " + std::string(120, 'n') + " (198.18.0.11)");
}

}  // namespace
}  // namespace quarn::e2e
