#include <gtest/gtest.h>

#include <cerrno>
#include <stop_token>
#include <thread>

#include "console/net/broadcast_targets.h"
#include "console/net/endpoint_collector.h"
#include "console/net/endpoint_search.h"
#include "console/net/local_link.h"
#include "console/net/own_machine.h"
#include "console/net/pair_command.h"
#include "console/net/remote_measurement.h"
#include "console/net/restart_broadcast.h"
#include "platform/socket6.h"
#include "tests/support/test_network.h"
#include "tests/unit/console_net/loopback_peer.h"
#include "tests/unit/console_net/recording_sink.h"

namespace quarn::console {
namespace {

IpAddress Six(const char* text) {
    return ParseIpAddress(text).value();
}

platform::Interface6Address Own(const char* name, unsigned index, const char* address,
                                unsigned flags = platform::kInterfaceUp) {
    return {name, index, flags, Six(address)};
}

// Replies name their address in any spelling; the list keeps one canonical text, and a
// link-local one gets the zone it arrived on so that it can be reached again.
TEST(Ipv6Console, CollectorListsIpv6RepliesCanonicallyWithTheirLinks) {
    EndPointCollector collector;
    EXPECT_TRUE(collector.Add("FD00:77:0::2 5001 45000 ula", Six("fe80::2%veth0")));
    EXPECT_FALSE(collector.Add("fd00:77::2 5001 45000 again", Six("fe80::2%veth0")));
    EXPECT_FALSE(collector.Add("facts addr=fd00:77:0:0::2 if=eth0 mtu=1500", Six("fe80::2%veth0")));
    EXPECT_TRUE(collector.Add("fe80::3 5001 45000 linklocal", Six("fe80::3%veth0")));
    EXPECT_FALSE(collector.Add("facts addr=fe80::3 mtu=9000", Six("fe80::3%veth0")));
    EXPECT_FALSE(collector.Add("fd00:77::g 5001 45000 bad", Six("fe80::4%veth0")));
    EXPECT_FALSE(collector.Add("[fd00:77::5]:1 5001 45000 bad", Six("fe80::5%veth0")));
    const std::vector<EndPointEntry> entries = collector.Take();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].address, "fd00:77::2");
    EXPECT_EQ(entries[0].name, "ula");
    ASSERT_TRUE(entries[0].link);
    EXPECT_EQ(entries[0].link->mtu, 1500);
    EXPECT_EQ(entries[1].address, "fe80::3%veth0");
    ASSERT_TRUE(entries[1].link);
    EXPECT_EQ(entries[1].link->mtu, 9000);
}

// A named EndPoint heard at its IPv4 address is not listed again by its link-local one,
// whichever came first; a link-local EndPoint of its own, or an unnamed one, stays.
TEST(Ipv6Console, ALinkLocalTwinOfAListedEndPointIsLeftOut) {
    EndPointCollector collector;
    EXPECT_TRUE(collector.Add("fe80::2 5001 45000 lab2", Six("fe80::2%veth0")));
    EXPECT_TRUE(collector.Add("198.18.0.2 5001 45000 lab2", Six("198.18.0.2")));
    EXPECT_TRUE(collector.Add("fe80::3 5001 45000 lab3", Six("fe80::3%veth0")));
    EXPECT_TRUE(collector.Add("fe80::4 5001 45000 ", Six("fe80::4%veth0")));
    EXPECT_TRUE(collector.Add("fd00:77::5 5001 45000 lab5", Six("fe80::5%veth0")));
    EXPECT_TRUE(collector.Add("fe80::5 5001 45000 lab5", Six("fe80::5%veth0")));
    std::vector<std::string> listed;
    for (const EndPointEntry& entry : collector.Take())
        listed.push_back(entry.address);
    EXPECT_EQ(listed, (std::vector<std::string>{"198.18.0.2", "fe80::3%veth0", "fe80::4%veth0",
                                                "fd00:77::5"}));
}

TEST(Ipv6Console, SearchesTheAllNodesGroupOnEachChosenInterface) {
    const std::vector<platform::Interface6Address> qualifying = {Own("veth0", 4, "fd00:77::1"),
                                                                 Own("veth1", 5, "fe80::1")};
    const std::vector<IpAddress> all = AllNodesOn(qualifying, {});
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(FormatIpAddress(all[0]), "ff02::1%veth0");
    EXPECT_EQ(FormatIpAddress(all[1]), "ff02::1%veth1");
    const std::vector<IpAddress> named = AllNodesOn(qualifying, {"veth1", "eth9"});
    ASSERT_EQ(named.size(), 1u);
    EXPECT_EQ(FormatIpAddress(named[0]), "ff02::1%veth1");
    // Chosen destinations of either family replace every adapter of both.
    DiscoveryOptions options;
    options.destinations6 = {Six("::1")};
    EXPECT_TRUE(BroadcastTargets(options).empty());
    EXPECT_EQ(Multicast6Targets(options), options.destinations6);
    options = {};
    options.destinations = {testing::kLoopback};
    EXPECT_TRUE(Multicast6Targets(options).empty());
}

TEST(Ipv6Console, KnowsItsOwnIpv6AddressesAndTheirInterfaces) {
    const std::vector<platform::Interface6Address> own = {
        Own("veth0", 4, "fd00:77::1"), Own("veth0", 4, "fe80::1"),
        Own("veth1", 5, "fd00:78::1", /*flags=*/0)};
    EXPECT_TRUE(IsOwnAddress6(Six("fd00:77::1"), own));
    EXPECT_TRUE(IsOwnAddress6(Six("fe80::1%veth0"), own));
    EXPECT_TRUE(IsOwnAddress6(Six("fe80::1%4"), own));
    EXPECT_FALSE(IsOwnAddress6(Six("fe80::1%veth1"), own));
    EXPECT_FALSE(IsOwnAddress6(Six("fd00:78::1"), own));  // its interface is down
    EXPECT_FALSE(IsOwnAddress6(Six("fd00:77::2"), own));

    EXPECT_EQ(InterfaceTowards6(own, Six("fd00:77::9")), "veth0");
    EXPECT_EQ(InterfaceTowards6(own, Six("fe80::9%veth1")), "veth1");
    EXPECT_EQ(InterfaceTowards6(own, Six("fd00:78::9")), std::nullopt);
    EXPECT_EQ(InterfaceTowards6(own, Six("fd00:79::9")), std::nullopt);
}

// iperf is told the family outright for an IPv6 End Point 2, and only then.
TEST(Ipv6Console, LocalClientSaysIpv6ForAnIpv6EndPoint2) {
    PairJob job;
    job.time = "10";
    for (const auto& [endpoint2, v6] :
         {std::pair{"fd00:77::2", true}, std::pair{"198.18.0.2", false},
          std::pair{"::ffff:198.18.0.2", false}}) {
        job.endpoint2 = endpoint2;
        const std::vector<std::string> argv = LocalClientArgv(job, "iperf", 5001);
        EXPECT_EQ(argv[2], endpoint2);
        EXPECT_EQ(argv.back() == "-V", v6) << endpoint2;
    }
}

// The control connection goes over IPv6 to an IPv6 End Point 1, with the same command.
TEST(Ipv6Console, RemoteMeasurementReachesAnIpv6EndPoint1) {
    platform::Socket listener = platform::TcpListen6(Six("::1"), 0, 1);
    ASSERT_TRUE(listener.Valid());
    std::string request;
    std::optional<IpAddress> peer;
    std::jthread server([&] {
        platform::Socket connection = platform::Accept(listener);
        peer = platform::PeerIpAddress(connection);
        request = testing::ReadRequestLine(connection);
    });
    PairJob job;
    job.remote = true;
    job.endpoint1 = "::1";
    job.endpoint2 = "fd00:77::3";
    job.time = "10";
    ControlClientSettings settings;
    settings.controlPort = platform::LocalPort(listener);
    settings.connectTimeoutMs = 2000;
    testing::RecordingSink sink;
    EXPECT_EQ(RemoteMeasurement(job, settings).Run(sink, std::stop_token()), MeasurementEnd::Ended);
    server.join();
    EXPECT_EQ(request, " -c fd00:77::3 -i 1 -t 10 -f m\r\n");
    ASSERT_TRUE(peer);
    EXPECT_EQ(FormatIpAddress(*peer), "::1");
}

// "restart" reaches IPv6 destinations as well, three copies as over IPv4.
TEST(Ipv6Console, RestartGoesOutOverIpv6) {
    platform::Socket listener = platform::UdpBind6(Six("::1"), 0);
    ASSERT_TRUE(listener.Valid());
    ASSERT_TRUE(platform::SetRecvTimeout(listener, 500));
    DiscoveryOptions options;
    options.destinations6 = {Six("::1")};
    options.port = platform::LocalPort(listener);
    BroadcastRestart(options);
    int copies = 0;
    while (platform::ReceiveFrom6(listener, 64).datagram.data == "restart")
        ++copies;
    EXPECT_EQ(copies, 3);
}

// A stop ends a connect that no one answers at once, as over IPv4. In a namespace of its
// own, towards an address of its subnet that no host has: neighbour discovery takes seconds.
TEST(Ipv6Console, StopEndsAnIpv6ConnectAtOnce) {
    QUARN_SKIP_WITHOUT_NETNS();
    test_support::TestNetwork network(1);
    ASSERT_EQ(network.Run(1, {"ip", "-6", "addr", "add", "fd00:77::11/64", "dev", "eth0", "nodad"})
                  .exitCode,
              0);
    bool valid = true;
    int error = 0;
    std::chrono::steady_clock::duration took{};
    network.RunInHost(1, [&] {
        const auto started = std::chrono::steady_clock::now();
        std::jthread connector([&](const std::stop_token& stop) {
            const platform::Socket socket =
                platform::TcpConnect6(Six("fd00:77::99"), 45000, std::chrono::seconds(10), stop);
            valid = socket.Valid();
            error = errno;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        connector.request_stop();
        connector.join();
        took = std::chrono::steady_clock::now() - started;
    });
    EXPECT_FALSE(valid);
    EXPECT_EQ(error, ECANCELED);
    EXPECT_LT(took, std::chrono::seconds(2));
}

}  // namespace
}  // namespace quarn::console
