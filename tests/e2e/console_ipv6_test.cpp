// The Console over IPv6 in network namespaces: hosts 1 (the Console) and 2 with unique-local
// and link-local addresses, host 3 with link-local ones only until a test gives it more.
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "console/files/config_layout.h"
#include "console/files/utf16le.h"
#include "labkey/key_file.h"
#include "tests/e2e/console_network_test.h"
#include "tests/e2e/namespace_processes.h"
#include "tests/e2e/run_expectations.h"
#include "tests/e2e/wire_capture.h"
#include "tests/support/program_runner.h"

namespace quarn::e2e {
namespace {

constexpr int kSeconds = 2;

std::string Ula(int host) {
    return "fd00:77::1" + std::to_string(host);
}

std::string LinkLocal(int host) {
    return "fe80::77:1" + std::to_string(host);
}

int CountContaining(const std::vector<std::string>& lines, const std::string& fragment) {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
        return l.find(fragment) != std::string::npos;
    }));
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

class ConsoleIpv6Test : public EndPointNetworkTest {
  protected:
    void SetUp() override {
        ConsoleNetworkTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        // Usable at once (no duplicate detection), so that no test waits for it.
        for (int host = 1; host <= 3; ++host)
            Ip(host, LinkLocal(host) + "/64");
        Ip(1, Ula(1) + "/64");
        Ip(2, Ula(2) + "/64");
        for (int host : {2, 3}) {
            StartEndPoint(host);
            if (HasFatalFailure())
                return;
        }
    }

    void Ip(int host, const std::string& cidr) {
        const auto result =
            Network().Run(host, {"ip", "-6", "addr", "add", cidr, "dev", "eth0", "nodad"});
        ASSERT_EQ(result.exitCode, 0) << result.output;
    }

    ConsoleResult Run(const std::vector<std::string>& pairs, const std::vector<std::string>& more) {
        std::vector<std::string> args = {"--duration", std::to_string(kSeconds)};
        for (const std::string& pair : pairs)
            args.insert(args.end(), {"--pair", pair});
        args.insert(args.end(), more.begin(), more.end());
        return RunConsole(args);
    }
};

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool HaveTools() {
    return access("/usr/bin/iperf", X_OK) == 0 && access("/usr/bin/tcpdump", X_OK) == 0;
}

// The all-nodes group finds host 2 by its unique-local address beside its IPv4 reply;
// host 3, which has a link-local address only, is listed once, by its IPv4 address: its
// link-local twin would list the same EndPoint again.
TEST_F(ConsoleIpv6Test, SearchListsEndPointsFoundOverIpv6) {
    const ConsoleResult search = RunConsole({"--search"}, 20000);
    EXPECT_EQ(search.exitCode, 0) << search.Transcript();
    const auto listedAs = [&](const std::string& listed, int host) {
        const std::string name = EndPointName(host);
        return std::any_of(search.lines.begin(), search.lines.end(), [&](const std::string& line) {
            return line.starts_with(listed) && line.ends_with(name);
        });
    };
    EXPECT_TRUE(listedAs(Ula(2) + " ", 2)) << search.Transcript();
    EXPECT_TRUE(listedAs(Address(2) + " ", 2)) << search.Transcript();
    EXPECT_TRUE(listedAs(Address(3) + " ", 3)) << search.Transcript();
    EXPECT_FALSE(listedAs(LinkLocal(3) + "%eth0 ", 3)) << search.Transcript();
}

TEST_F(ConsoleIpv6Test, KeyedSearchVerifiesIpv6RepliesByTheirSignature) {
    test_support::TempDir keys;
    const std::string key = keys.File("lab.key");
    std::string why;
    ASSERT_TRUE(labkey::WriteNewKeyFile(key, why)) << why;
    KillEndPoint(2);
    StartEndPoint(2, {}, {"--lab-key", key});
    const ConsoleResult search = RunConsole({"--search", "--lab-key", key}, 20000);
    EXPECT_EQ(search.exitCode, 0) << search.Transcript();
    const auto listed = [&](const std::string& address) {
        for (const std::string& line : search.lines) {
            if (line.starts_with(address + " "))
                return line;
        }
        return std::string();
    };
    ASSERT_NE(listed(Ula(2)), "") << search.Transcript();
    EXPECT_EQ(listed(Ula(2)).find("(unverified)"), std::string::npos) << search.Transcript();
    EXPECT_NE(listed(Address(3)).find("(unverified)"), std::string::npos) << search.Transcript();
}

// A local pair (the Console's own iperf, told -V) and a remote one, both into host 3 over
// IPv6 and made by --fan-in: every data packet on host 3's wire is IPv6.
TEST_F(ConsoleIpv6Test, LocalAndRemoteTcpPairsMeasureOverIpv6) {
    if (!HaveTools())
        GTEST_SKIP() << "needs iperf 2 and tcpdump";
    Ip(3, Ula(3) + "/64");
    WireCapture wire(Network(), 3, "tcp and not port 45000", WireCapture::Lines::Brief);
    ASSERT_TRUE(wire.Listening());
    ConsoleProcess console = StartConsole({"--duration", std::to_string(kSeconds), "--fan-in",
                                           "[" + Ula(1) + "],[" + Ula(2) + "]:[" + Ula(3) + "]"});
    ASSERT_TRUE(console.WaitForLine("tick 1 of", kRunTimeoutMs)) << console.Finish(0).Transcript();
    const std::vector<ProcessView> own = IperfProcesses(Network().Namespace(kConsoleHost));
    EXPECT_TRUE(std::any_of(own.begin(), own.end(), [&](const ProcessView& p) {
        return p.parent == console.Pid() && p.HasArguments("-c", Ula(3)) &&
               std::find(p.argv.begin(), p.argv.end(), "-V") != p.argv.end();
    })) << "no IPv6 iperf client of the Console in its own host";
    const ConsoleResult run = console.Finish(kRunTimeoutMs);
    ExpectCompletedRun(run, kSeconds);
    ExpectSensiblePair(run, "Pair1", kSeconds);
    ExpectSensiblePair(run, "Pair2", kSeconds);
    const std::vector<std::string> seen = wire.Stop();
    EXPECT_GE(CountContaining(seen, " IP6 " + Ula(1) + "."), 10) << Joined(seen);
    EXPECT_GE(CountContaining(seen, " IP6 " + Ula(2) + "."), 10) << Joined(seen);
    EXPECT_EQ(CountContaining(seen, " IP "), 0) << Joined(seen);
}

// UDP pairs of both families in one run, each on its own family's wire.
TEST_F(ConsoleIpv6Test, UdpRunMixesIpv4AndIpv6Pairs) {
    if (!HaveTools())
        GTEST_SKIP() << "needs iperf 2 and tcpdump";
    Ip(3, Ula(3) + "/64");
    WireCapture wire(Network(), 3, "udp and not port 54321", WireCapture::Lines::Brief);
    ASSERT_TRUE(wire.Listening());
    const ConsoleResult run =
        Run({Ula(1) + "," + Ula(3), Ula(2) + "," + Ula(3), Address(2) + "," + Address(3)},
            {"--udp", "--throughput", "2"});
    ExpectCompletedRun(run, kSeconds);
    for (const char* pair : {"Pair1", "Pair2", "Pair3"})
        ExpectSensiblePair(run, pair, kSeconds);
    const std::vector<std::string> seen = wire.Stop();
    EXPECT_GE(CountContaining(seen, " IP6 " + Ula(1) + "."), 100) << Joined(seen);
    EXPECT_GE(CountContaining(seen, " IP6 " + Ula(2) + "."), 100) << Joined(seen);
    EXPECT_GE(CountContaining(seen, " IP " + Address(2) + "."), 100) << Joined(seen);
}

// Saved with IPv6 pairs, opened and saved again: the same bytes, the addresses as text.
TEST_F(ConsoleIpv6Test, ConfigRoundTripKeepsIpv6Pairs) {
    test_support::TempDir dir;
    const std::string first = dir.File("first.config");
    const std::string second = dir.File("second.config");
    const ConsoleResult saved =
        RunConsole({"--pair", "FD00:77::12," + LinkLocal(3) + "%eth0", "--pair",
                    Address(2) + "," + Address(3), "--no-run", "--save", first},
                   20000);
    ASSERT_EQ(saved.exitCode, 0) << saved.Transcript();
    const ConsoleResult again = RunConsole({"--open", first, "--no-run", "--save", second}, 20000);
    ASSERT_EQ(again.exitCode, 0) << again.Transcript();
    const std::string bytes = ReadBytes(first);
    EXPECT_EQ(ReadBytes(second), bytes);
    const std::string text =
        console::Utf16ToUtf8(console::Utf16FromLeBytes(bytes.substr(console::kConfigHeaderSize)));
    EXPECT_NE(text.find(" fd00:77::12 fe80::77:13%eth0 "), std::string::npos) << text;
}

// A link-local End Point 2 holds the Console's zone: its own iperf client measures it, while
// a pair from another machine is refused before anything is sent.
TEST_F(ConsoleIpv6Test, ALinkLocalEndPoint2IsMeasuredFromThisMachineOnly) {
    const std::string linked = LinkLocal(2) + "%eth0";
    const ConsoleResult refused = Run({Address(3) + "," + linked}, {});
    EXPECT_EQ(refused.exitCode, 2) << refused.Transcript();
    EXPECT_TRUE(HasLine(refused.lines, "Pair1: End Point 1 can reach the link-local " + linked +
                                           " only if it is this machine; give End Point 2's "
                                           "unique-local or global address."))
        << refused.Transcript();
    EXPECT_FALSE(AnyLineContains(refused.lines, "Measuring")) << refused.Transcript();
    if (!HaveTools())
        GTEST_SKIP() << "needs iperf 2 and tcpdump";
    const ConsoleResult run = Run({Ula(1) + "," + linked}, {});
    ExpectCompletedRun(run, kSeconds);
    ExpectSensiblePair(run, "Pair1", kSeconds);
}

TEST_F(ConsoleIpv6Test, MalformedIpv6AddressIsRefusedWithExitTwo) {
    const ConsoleResult run = RunConsole({"--pair", "fd00:77::12::1," + Ula(2)}, 10000);
    EXPECT_EQ(run.exitCode, 2) << run.Transcript();
    EXPECT_TRUE(
        HasLine(run.lines, "--pair expects IPv4 or IPv6 addresses: fd00:77::12::1," + Ula(2)))
        << run.Transcript();
}

}  // namespace
}  // namespace quarn::e2e
