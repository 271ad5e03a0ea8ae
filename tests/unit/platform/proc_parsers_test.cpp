#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/port_table.h"
#include "platform/process_table.h"
#include "platform/socket.h"

namespace quarn::platform {
namespace {

TEST(ProcStat, ParentPidSurvivesOddCommandNames) {
    EXPECT_EQ(ParseStatParentPid("42 (iperf) S 17 42 42 0 -1 4194560 ..."), 17);
    EXPECT_EQ(ParseStatParentPid("42 (my prog) R 1 42 42"), 1);
    EXPECT_EQ(ParseStatParentPid("42 (a) b) (c) S 99 42 42 0"), 99);
    EXPECT_EQ(ParseStatParentPid("42 ()) Z 7 0"), 7);
    EXPECT_FALSE(ParseStatParentPid(""));
    EXPECT_FALSE(ParseStatParentPid("42 (iperf S 17"));
    EXPECT_FALSE(ParseStatParentPid("42 (iperf) S"));
    EXPECT_FALSE(ParseStatParentPid("42 (iperf) S x7 1"));
}

TEST(ProcEnviron, FindsExactNameOnly) {
    using namespace std::string_literals;
    const std::string environ =
        "PATH=/bin\0QUARN_IPERF_OWNER_X=no\0QUARN_IPERF_OWNER=endpoint:12\0EMPTY=\0"s;
    EXPECT_EQ(FindEnvironValue(environ, "QUARN_IPERF_OWNER"), "endpoint:12");
    EXPECT_EQ(FindEnvironValue(environ, "PATH"), "/bin");
    EXPECT_EQ(FindEnvironValue(environ, "EMPTY"), "");
    EXPECT_FALSE(FindEnvironValue(environ, "QUARN"));
    EXPECT_FALSE(FindEnvironValue("", "PATH"));
    EXPECT_FALSE(FindEnvironValue("PATH", "PATH"));
}

TEST(ProcessTable, ListsThisProcessWithItsParentAndEnvironment) {
    const auto processes = ListProcesses();
    const auto self = std::find_if(processes.begin(), processes.end(),
                                   [](const ProcessInfo& p) { return p.pid == getpid(); });
    ASSERT_NE(self, processes.end());
    EXPECT_EQ(self->ppid, getppid());
    EXPECT_NE(self->exePath.find("platform_test"), std::string::npos) << self->exePath;
    // /proc/<pid>/environ holds the environment the process started with.
    const char* path = std::getenv("PATH");
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(ReadEnvironValue(getpid(), "PATH"), std::string(path));
    EXPECT_FALSE(ReadEnvironValue(getpid(), "QUARN_NOT_SET_ANYWHERE"));
}

constexpr const char* kProcNetTcp =
    "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout "
    "inode\n"
    "   0: 00000000:AFC8 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0        0 1 "
    "1 0000000000000000 100 0 0 10 0\n"
    "   1: 0100007F:1389 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0        0 2\n"
    "   2: 0100007F:138A 0100007F:D431 01 00000000:00000000 00:00000000 00000000     0        0 3\n"
    "   3: 0100007F:138B 0100007F:D432 06 00000000:00000000 03:00001770 00000000     0        0 0\n"
    "   4: 0100007F:138C 0100007F:D433 07 00000000:00000000 00:00000000 00000000     0        0 0\n"
    "   5: 0100007F:138D 0100007F:D434 08 00000000:00000000 00:00000000 00000000     0        0 5\n"
    "   6: 0100007F:1388 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0        0 6\n"
    "garbage line\n"
    "   7: 0100007F:ZZZZ 00000000:0000 0A\n";

TEST(PortTable, TcpSkipsTimeWaitCloseAndLowPorts) {
    // 0xAFC8=45000 listen, 5001 listen, 5002 established, 5003 time-wait, 5004 close,
    // 5005 close-wait, 5000 not above 5000.
    EXPECT_EQ(ParseProcNetTcp(kProcNetTcp, 5000), (std::set<uint16_t>{5001, 5002, 5005, 45000}));
    EXPECT_EQ(ParseProcNetTcp(kProcNetTcp, 45000), std::set<uint16_t>{});
    const char* tcp6 =
        "  sl  local_address                         remote_address                        st\n"
        "   0: 00000000000000000000000000000000:1389 00000000000000000000000000000000:0000 0A\n";
    EXPECT_EQ(ParseProcNetTcp(tcp6, 5000), std::set<uint16_t>{5001});
}

TEST(PortTable, UdpCountsEveryRow) {
    const char* udp =
        "   sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid\n"
        "  100: 00000000:D431 00000000:0000 07 00000000:00000000 00:00000000 00000000     0\n"
        "  101: 00000000:1389 0100007F:1389 01 00000000:00000000 00:00000000 00000000     0\n"
        "  102: 00000000:0035 00000000:0000 07 00000000:00000000 00:00000000 00000000     0\n";
    EXPECT_EQ(ParseProcNetUdp(udp, 5000), (std::set<uint16_t>{5001, 54321}));
    EXPECT_EQ(ParseProcNetUdp("", 5000), std::set<uint16_t>{});
}

TEST(PortTable, SeesOurOwnLoopbackSockets) {
    Socket tcp = TcpListen(0x7F000001, 0, 1);
    Socket udp = UdpBind(0x7F000001, 0, false);
    ASSERT_TRUE(tcp.Valid() && udp.Valid());
    const uint16_t tcpPort = LocalPort(tcp);
    const uint16_t udpPort = LocalPort(udp);
    ASSERT_GT(tcpPort, 5000);
    EXPECT_EQ(BusyTcpPorts(5000).count(tcpPort), 1u);
    EXPECT_EQ(BusyUdpPorts(5000).count(udpPort), 1u);
    EXPECT_EQ(BusyTcpPorts(tcpPort).count(tcpPort), 0u);
}

}  // namespace
}  // namespace quarn::platform
