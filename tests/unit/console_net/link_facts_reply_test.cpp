#include "console/net/link_facts_reply.h"

#include <gtest/gtest.h>

#include "console/net/endpoint_collector.h"
#include "console/net/endpoint_search.h"
#include "console/net/pair_command.h"
#include "tests/unit/console_net/loopback_peer.h"

namespace quarn::console {
namespace {

TEST(LinkFactsReply, ReadsTheLinkOfAnAddress) {
    const auto reply = ParseLinkFactsReply(
        "facts addr=198.18.0.11 if=veth1 speed=10000 duplex=full mtu=1500 wireless=0 later=1");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->address, "198.18.0.11");
    EXPECT_EQ(DescribeLink(reply->link), "10000 Mbit/s full duplex, MTU 1500");
    EXPECT_EQ(reply->link.interfaceName, "veth1");

    const auto odd = ParseLinkFactsReply(
        "facts addr=198.18.0.12 speed=-5 duplex=sideways mtu=65537 wireless=yes");
    ASSERT_TRUE(odd);
    EXPECT_FALSE(odd->link.speedMbps || odd->link.fullDuplex || odd->link.mtu);
    EXPECT_FALSE(odd->link.wireless);
    EXPECT_FALSE(ParseLinkFactsReply("facts addr=lab-pc speed=1000"));
    EXPECT_FALSE(ParseLinkFactsReply("facts speed=1000"));
    EXPECT_FALSE(ParseLinkFactsReply("198.18.0.11 5001 45000 name"));
}

// An EndPoint that lists no "takes" takes nothing; names it does not know are skipped.
TEST(LinkFactsReply, ReadsTheOptionsAnEndPointTakes) {
    EXPECT_TRUE(ParseLinkFactsReply("facts addr=198.18.0.11 mtu=1500")->link.takes.empty());
    EXPECT_EQ(ParseLinkFactsReply("facts addr=198.18.0.11 takes=dscp,length,mss")->link.takes,
              (TakenOptions{TrafficOption::Dscp, TrafficOption::Length, TrafficOption::Mss}));
    EXPECT_EQ(ParseLinkFactsReply("facts addr=198.18.0.11 takes=ecn,mss,,Dscp")->link.takes,
              (TakenOptions{TrafficOption::Mss}));
}

// The options reach iperf only when set, as the TOS byte and plain byte counts.
TEST(PairCommand, CarriesTheTrafficOptions) {
    PairJob job;
    job.endpoint2 = "198.18.0.20";
    job.time = "310";
    job.rateText = "10.000000m";
    job.udp = true;
    job.traffic = {46, 200, 1000};
    EXPECT_EQ(protocol::BuildClientCommand(ClientCommandFor(job)),
              " -c 198.18.0.20 -i 1 -t 310 -u -b 10.000000m -S 184 -l 200 -f m");
    job.udp = false;
    job.traffic = {std::nullopt, std::nullopt, 1000};
    EXPECT_EQ(LocalClientArgv(job, "iperf", 5001),
              (std::vector<std::string>{"iperf", "-c", "198.18.0.20", "-i", "1", "-t", "310", "-w",
                                        "10.000000m", "-M", "1000", "-f", "m", "-p", "5001"}));
    job.traffic = {};
    EXPECT_EQ(protocol::BuildClientCommand(ClientCommandFor(job)),
              " -c 198.18.0.20 -i 1 -t 310 -w 10.000000m -f m");
}

TEST(LinkFactsReply, CollectorJoinsLinksToEntriesWhicheverComesFirst) {
    EndPointCollector collector;
    EXPECT_FALSE(collector.Add("facts addr=198.18.0.11 speed=1000 mtu=1500"));
    EXPECT_TRUE(collector.Add("198.18.0.11 5001 45000 first"));
    EXPECT_TRUE(collector.Add("198.18.0.12 5001 45000 second"));
    EXPECT_FALSE(collector.Add("facts addr=198.18.0.12 speed=100 mtu=1500"));
    EXPECT_FALSE(collector.Add("facts addr=198.18.0.12 speed=5 mtu=576"));  // first one wins
    EXPECT_TRUE(collector.Add("198.18.0.13 5001 45000 older"));
    const std::vector<EndPointEntry> entries = collector.Take();
    ASSERT_EQ(entries.size(), 3u);
    ASSERT_TRUE(entries[0].link && entries[1].link);
    EXPECT_EQ(entries[0].link->speedMbps, 1000);
    EXPECT_EQ(entries[1].link->speedMbps, 100);
    EXPECT_FALSE(entries[2].link);
}

TEST(LinkFactsReply, SearchOnLoopbackCarriesTheLinks) {
    testing::LoopbackResponder responder(
        {"127.0.0.1 5001 45000 lab", "facts addr=127.0.0.1 if=lo mtu=65536 wireless=0"});
    const std::vector<EndPointEntry> found = SearchEndPoints(testing::LoopbackOptions(responder));
    ASSERT_EQ(found.size(), 1u);
    ASSERT_TRUE(found[0].link);
    EXPECT_EQ(found[0].link->mtu, 65536);
}

}  // namespace
}  // namespace quarn::console
