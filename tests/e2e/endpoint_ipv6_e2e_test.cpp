// Quarn_EndPoint over IPv6, on hosts built from network namespaces: unique-local addresses
// on host 1, only link-local ones on host 2; the test speaks from host 3.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "address/ip_address.h"
#include "platform/socket.h"
#include "platform/socket6.h"
#include "protocol/messages.h"
#include "tests/e2e/peer_requests.h"
#include "tests/support/fake_iperf.h"
#include "tests/support/socket_reading.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_network.h"

namespace quarn::e2e {
namespace {

using test_support::RunningProgram;
using test_support::TempDir;
using test_support::TestNetwork;

struct Reply {
    std::string text;
    std::string from;
};

class EndPointIpv6 : public ::testing::Test {
  protected:
    void SetUp() override {
        QUARN_SKIP_WITHOUT_NETNS();
        net_ = std::make_unique<TestNetwork>(3);
        // Addresses usable at once (no duplicate detection), so that no test waits for it.
        for (int host = 1; host <= 3; ++host) {
            Ip(host, {"addr", "add", "fe80::77:" + std::to_string(10 + host) + "/64", "dev", "eth0",
                      "nodad"});
        }
        Ip(1, {"addr", "add", "fd00:77::11/64", "dev", "eth0", "nodad"});
        Ip(3, {"addr", "add", "fd00:77::13/64", "dev", "eth0", "nodad"});
    }

    void TearDown() override {
        for (auto& [host, endPoint] : endPoints_) {
            endPoint.Signal(SIGTERM);
            EXPECT_TRUE(endPoint.WaitExit(5000)) << "host " << host;
            EXPECT_EQ(endPoint.ExitCode(), 0) << endPoint.Transcript();
        }
    }

    void Ip(int host, std::vector<std::string> args) {
        args.insert(args.begin(), {"ip", "-6"});
        const auto result = net_->Run(host, args);
        ASSERT_EQ(result.exitCode, 0) << result.output;
    }

    void StartEndPoint(int host, const std::string& name) {
        const std::vector<std::string> env = {"QUARN_CONFIG_HOME=" + configs_[host].Path(),
                                              "QUARN_IPERF=/usr/bin/iperf", "LC_ALL=C.UTF-8"};
        const std::string program = test_support::BuiltProgramPath("Quarn_EndPoint");
        ASSERT_EQ(net_->Run(host, {program, "--set-name", name}, env).exitCode, 0);
        endPoints_[host] = net_->Spawn(host, {program, "--headless"}, env);
        ASSERT_TRUE(endPoints_[host].WaitForLine("Started: ", 5000))
            << endPoints_[host].Transcript();
    }

    // Sends word from host 3 to target over IPv6 and collects the replies with their senders.
    std::vector<Reply> Probe6(const std::string& target, const std::string& word,
                              int collectMs = 700) {
        const IpAddress to = ParseIpAddress(target).value();
        std::vector<Reply> replies;
        // Received inside the host too: a sender's zone is named by that host's interfaces.
        net_->RunInHost(3, [&] {
            platform::Socket socket = platform::UdpBind6(IpAddress::V6({}), 0);
            EXPECT_TRUE(platform::SendTo6(socket, word, to, protocol::kDiscoveryPort)) << target;
            platform::SetRecvTimeout(socket, 100);
            const auto deadline =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(collectMs);
            while (std::chrono::steady_clock::now() < deadline) {
                const auto received = platform::ReceiveFrom6(socket, protocol::kMaxDatagram);
                if (received.status == platform::RecvStatus::Data) {
                    replies.push_back(
                        {received.datagram.data, FormatIpAddress(received.datagram.addr)});
                }
            }
        });
        std::sort(replies.begin(), replies.end(),
                  [](const Reply& a, const Reply& b) { return a.text < b.text; });
        return replies;
    }

    // The command lines of the iperf processes running inside a host.
    std::vector<std::string> IperfCommandLines(int host) {
        std::istringstream pids(
            test_support::RunCommand({"ip", "netns", "pids", net_->Namespace(host)}).output);
        std::vector<std::string> lines;
        for (std::string pid; std::getline(pids, pid);) {
            std::ifstream in("/proc/" + pid + "/cmdline", std::ios::binary);
            std::string line((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
            if (line.starts_with("/usr/bin/iperf")) {
                std::replace(line.begin(), line.end(), '\0', ' ');
                lines.push_back(line.substr(0, line.find_last_not_of(' ') + 1));
            }
        }
        return lines;
    }

    // True once host's iperf processes number count, within timeoutMs.
    bool IperfCountWithin(int host, size_t count, int timeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (IperfCommandLines(host).size() != count) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    std::unique_ptr<TestNetwork> net_;
    std::map<int, TempDir> configs_;
    std::map<int, RunningProgram> endPoints_;
};

TEST_F(EndPointIpv6, AllNodesProbeIsAnsweredWithEachEndPointsBestIpv6Address) {
    StartEndPoint(1, "Bench One");
    StartEndPoint(2, "Bench Two");
    const std::vector<Reply> replies = Probe6("ff02::1%eth0", "hello");
    ASSERT_EQ(replies.size(), 2u);
    // Host 1 announces its unique-local address before its link-local ones; host 2 has
    // only link-local ones and announces one, without a zone that means nothing here.
    EXPECT_EQ(replies[0].text, "fd00:77::11 5001 45000 Bench One");
    EXPECT_TRUE(replies[1].text.starts_with("fe80::")) << replies[1].text;
    EXPECT_TRUE(replies[1].text.ends_with(" 5001 45000 Bench Two")) << replies[1].text;
    EXPECT_EQ(replies[1].text.find('%'), std::string::npos) << replies[1].text;
    // Replies come back over the link, to the zone they were sent on.
    for (const Reply& reply : replies) {
        EXPECT_TRUE(reply.from.ends_with("%eth0")) << reply.from;
    }
}

TEST_F(EndPointIpv6, UnicastProbesAndIpv4AreAnsweredAsBefore) {
    StartEndPoint(1, "Bench One");
    const std::vector<Reply> unicast = Probe6("fd00:77::11", "hello");
    ASSERT_EQ(unicast.size(), 1u);
    EXPECT_EQ(unicast[0].text, "fd00:77::11 5001 45000 Bench One");
    EXPECT_EQ(unicast[0].from, "fd00:77::11");
    const std::vector<Reply> linkLocal = Probe6("fe80::77:11%eth0", "hello");
    ASSERT_EQ(linkLocal.size(), 1u);
    EXPECT_EQ(linkLocal[0].from, "fe80::77:11%eth0");
    // Not a probe: nothing comes back.
    EXPECT_TRUE(Probe6("fd00:77::11", "helo", 300).empty());
    // The IPv4 side is untouched.
    EXPECT_EQ(Probe(*net_, 3, "198.18.0.255", "hello", 700),
              (std::vector<std::string>{"198.18.0.11 5001 45000 Bench One"}));
}

TEST_F(EndPointIpv6, ProbesFromOneSlash64ShareOneBudget) {
    StartEndPoint(1, "Bench One");
    // Many addresses of one /64 may not multiply the replies beyond one source's share.
    for (int i = 0; i < 8; ++i) {
        Ip(3, {"addr", "add", "fd00:77::1:" + std::to_string(i) + "/64", "dev", "eth0", "nodad"});
    }
    int answered = 0;
    for (int i = 0; i < 8; ++i) {
        platform::Socket socket;
        const IpAddress from = ParseIpAddress("fd00:77::1:" + std::to_string(i)).value();
        net_->RunInHost(3, [&] {
            socket = platform::UdpBind6(from, 0);
            platform::SendTo6(socket, "hello", *ParseIpAddress("fd00:77::11"),
                              protocol::kDiscoveryPort);
        });
        ASSERT_TRUE(socket.Valid());
        platform::SetRecvTimeout(socket, 150);
        answered += platform::ReceiveFrom6(socket, protocol::kMaxDatagram).status ==
                            platform::RecvStatus::Data
                        ? 1
                        : 0;
    }
    // A source's burst is six probes.
    EXPECT_EQ(answered, 6);
}

// Control over IPv6 starts an IPv6 iperf server, and the data of the run is IPv6.
TEST_F(EndPointIpv6, ServerRequestOverIpv6MeasuresOverIpv6) {
    if (access("/usr/bin/tcpdump", X_OK) != 0 || access("/usr/bin/iperf", X_OK) != 0) {
        GTEST_SKIP() << "needs tcpdump and iperf 2";
    }
    StartEndPoint(1, "Bench One");
    RunningProgram dump = net_->Spawn(
        1, {"/usr/bin/tcpdump", "-i", "eth0", "-n", "-l", "-c", "20", "tcp", "port", "5001"});
    ASSERT_TRUE(dump.WaitForLine("listening on", 5000)) << dump.Transcript();

    platform::Socket control;
    net_->RunInHost(3, [&] {
        control =
            platform::TcpConnect6(*ParseIpAddress("fd00:77::11"), protocol::kControlPort, 3000);
        ASSERT_TRUE(control.Valid());
        ASSERT_TRUE(platform::SendAll(control, protocol::kServerRequestTcp));
    });
    const std::string reply = test_support::ReadUntilContains(control, "\r\n", 10000).data;
    ASSERT_TRUE(reply.starts_with("ok;5001\r\n")) << reply;

    const auto client = net_->Run(
        3, {"/usr/bin/iperf", "-V", "-c", "fd00:77::11", "-p", "5001", "-t", "1", "-f", "m"});
    EXPECT_EQ(client.exitCode, 0) << client.output;
    EXPECT_NE(client.output.find("Mbits/sec"), std::string::npos) << client.output;
    const auto stream = test_support::ReadUntilContains(control, "Mbits/sec", 5000);
    EXPECT_NE(stream.data.find("Mbits/sec"), std::string::npos) << stream.data;

    // Every captured segment of the run is IPv6 between the two unique-local addresses.
    std::vector<std::string> lines;
    for (int i = 0; i < 20; ++i) {
        const auto line = dump.WaitForLine(" > ", 3000);
        if (!line) {
            break;
        }
        lines.push_back(*line);
    }
    ASSERT_GE(lines.size(), 10u) << dump.Transcript();
    for (const std::string& line : lines) {
        EXPECT_NE(line.find(" IP6 fd00:77::"), std::string::npos) << line;
    }
}

// A client command naming an IPv6 target has the EndPoint ask the other one over IPv6 and
// send to it with iperf -V; the requester gets the relayed report.
TEST_F(EndPointIpv6, ClientCommandToAnIpv6TargetMeasuresOverIpv6) {
    if (access("/usr/bin/tcpdump", X_OK) != 0 || access("/usr/bin/iperf", X_OK) != 0) {
        GTEST_SKIP() << "needs tcpdump and iperf 2";
    }
    Ip(2, {"addr", "add", "fd00:77::12/64", "dev", "eth0", "nodad"});
    StartEndPoint(1, "Bench One");
    StartEndPoint(2, "Bench Two");
    RunningProgram dump = net_->Spawn(
        2, {"/usr/bin/tcpdump", "-i", "eth0", "-n", "-l", "-c", "10", "tcp", "port", "5001"});
    ASSERT_TRUE(dump.WaitForLine("listening on", 5000)) << dump.Transcript();

    platform::Socket control;
    net_->RunInHost(3, [&] {
        control =
            platform::TcpConnect6(*ParseIpAddress("fd00:77::11"), protocol::kControlPort, 3000);
        ASSERT_TRUE(control.Valid());
        ASSERT_TRUE(platform::SendAll(control, " -c fd00:77::12 -i 1 -t 2 -f m\r\n"));
    });
    const auto relayed = test_support::ReadUntilContains(control, "Mbits/sec", 10000);
    EXPECT_NE(relayed.data.find("Mbits/sec"), std::string::npos) << relayed.data;
    // The run is still on: its iperf client was started for IPv6.
    EXPECT_EQ(
        IperfCommandLines(1),
        (std::vector<std::string>{"/usr/bin/iperf -c fd00:77::12 -i 1 -t 2 -f m -V -p 5001"}));
    const auto line = dump.WaitForLine(" > ", 3000);
    ASSERT_TRUE(line) << dump.Transcript();
    EXPECT_NE(line->find(" IP6 fd00:77::1"), std::string::npos) << *line;
    // Its own address is no target, in either family.
    net_->RunInHost(3, [&] {
        control =
            platform::TcpConnect6(*ParseIpAddress("fd00:77::11"), protocol::kControlPort, 3000);
        ASSERT_TRUE(platform::SendAll(control, " -c fd00:77::11 -i 1 -t 2 -f m\r\n"));
    });
    EXPECT_EQ(test_support::ReadUntilClosed(control, 5000).data, "");
}

// "facts" over IPv6 names the address "hello" announces there, with the same link as the
// reply over IPv4 gives.
TEST_F(EndPointIpv6, FactsAreAnsweredOverIpv6WithTheIpv6Address) {
    StartEndPoint(1, "Bench One");
    const std::vector<Reply> over6 = Probe6("fd00:77::11", "facts");
    ASSERT_EQ(over6.size(), 1u);
    const std::vector<std::string> over4 = Probe(*net_, 3, "198.18.0.11", "facts", 700);
    ASSERT_EQ(over4.size(), 1u);
    const std::string prefix4 = "facts addr=198.18.0.11 if=eth0 ";
    ASSERT_TRUE(over4[0].starts_with(prefix4)) << over4[0];
    EXPECT_EQ(over6[0].text, "facts addr=fd00:77::11 if=eth0 " + over4[0].substr(prefix4.size()));
    // Within the probe limits, as over IPv4.
    int answered = 0;
    for (int i = 0; i < 8; ++i) {
        answered += static_cast<int>(Probe6("fd00:77::11", "facts", 60).size());
    }
    EXPECT_LT(answered, 8);
}

// A Console's "restart" goes out over both families: one host is obeyed once a second,
// whichever family each copy arrives on.
TEST_F(EndPointIpv6, RestartOverBothFamiliesIsObeyedOnceASecond) {
    if (access("/usr/bin/iperf", X_OK) != 0) {
        GTEST_SKIP() << "needs iperf 2";
    }
    StartEndPoint(1, "Bench One");
    platform::Socket first;
    ASSERT_EQ(ServerRequestReply(*net_, 3, "198.18.0.11", first), "ok;5001\r\n");
    const auto restarted = std::chrono::steady_clock::now();
    EXPECT_TRUE(Probe(*net_, 3, "198.18.0.255", "restart", 50).empty());
    ASSERT_TRUE(IperfCountWithin(1, 0, 3000));

    platform::Socket second;  // back on 5001: the restart was obeyed
    ASSERT_EQ(ServerRequestReply(*net_, 3, "198.18.0.11", second), "ok;5001\r\n");
    EXPECT_TRUE(Probe6("ff02::1%eth0", "restart", 50).empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LT(std::chrono::steady_clock::now() - restarted, std::chrono::milliseconds(1000))
        << "too slow to tell";
    EXPECT_EQ(IperfCommandLines(1).size(), 1u);

    // A second later the copy over IPv6 is obeyed.
    std::this_thread::sleep_until(restarted + std::chrono::milliseconds(1100));
    EXPECT_TRUE(Probe6("ff02::1%eth0", "restart", 50).empty());
    EXPECT_TRUE(IperfCountWithin(1, 0, 3000));
}

}  // namespace
}  // namespace quarn::e2e
