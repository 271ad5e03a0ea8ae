#include "console/core/traffic_options.h"

#include <gtest/gtest.h>

#include "console/core/pair_capabilities.h"
#include "console/core/pair_record.h"

namespace quarn::console {
namespace {

TEST(TrafficOptions, DscpNamesAndNumbers) {
    const std::pair<const char*, int> named[] = {
        {"EF", 46},   {"ef", 46},   {"CS0", 0}, {"cs7", 56}, {"AF11", 10}, {"AF13", 14},
        {"AF41", 34}, {"af43", 38}, {"0", 0},   {"63", 63},  {"46", 46}};
    for (const auto& [text, dscp] : named) {
        EXPECT_EQ(ParseDscp(text), dscp) << text;
    }
    for (const char* bad :
         {"", "64", "-1", "CS8", "AF10", "AF14", "AF51", "E F", "EFF", "4.5", "0x2e", " 46"}) {
        EXPECT_FALSE(ParseDscp(bad)) << bad;
    }
    // Back to the name an engineer writes, the number where there is none.
    EXPECT_EQ(DscpText(46), "EF");
    EXPECT_EQ(DscpText(34), "AF41");
    EXPECT_EQ(DscpText(0), "CS0");
    EXPECT_EQ(DscpText(40), "CS5");
    EXPECT_EQ(DscpText(11), "11");
    EXPECT_EQ(DscpText(42), "42");  // class 5 has no AF
    for (int dscp = 0; dscp <= kMaxDscp; ++dscp) {
        EXPECT_EQ(ParseDscp(DscpText(dscp)), dscp);
    }
    EXPECT_EQ(TosByte(46), 0xb8);
}

TEST(TrafficOptions, LengthBoundsFollowTheProtocol) {
    TrafficOptions options;
    options.length = 19;
    EXPECT_FALSE(TrafficRefusal(options, Protocol::Udp).empty());
    EXPECT_TRUE(TrafficRefusal(options, Protocol::Tcp).empty());
    options.length = 65508;
    EXPECT_FALSE(TrafficRefusal(options, Protocol::Udp).empty());
    options.length = 1048577;
    EXPECT_EQ(TrafficRefusal(options, Protocol::Tcp),
              "A TCP write size can be set from 1 to 1048576 bytes.");
    options.length = 200;
    EXPECT_TRUE(TrafficRefusal(options, Protocol::Udp).empty());
    EXPECT_EQ(ParseWholeIn("536", kMinMss, kMaxMss), 536);
    EXPECT_FALSE(ParseWholeIn("535", kMinMss, kMaxMss));
    EXPECT_FALSE(ParseWholeIn("1000x", kMinMss, kMaxMss));
    EXPECT_FALSE(ParseWholeIn("", 0, 1));
    EXPECT_EQ(DescribeTraffic({46, 200, 1000}), "DSCP EF, length 200 bytes, MSS 1000 bytes");
    EXPECT_EQ(DescribeTraffic({}), "");
}

struct CapabilityCase {
    TrafficOptions traffic;
    Protocol protocol;
    ClientSide client;
    bool end1Takes;
    bool end2Takes;
    std::optional<FailureSide> refused;
};

// What each end is sent decides what it must have announced; an end without facts
// announced nothing.
TEST(PairCapabilities, EachEndMustTakeWhatItIsSent) {
    const TrafficOptions dscp{46, std::nullopt, std::nullopt};
    const TrafficOptions shortUdp{std::nullopt, 200, std::nullopt};
    const TrafficOptions jumbo{std::nullopt, 8000, std::nullopt};
    const TrafficOptions mss{std::nullopt, std::nullopt, 1000};
    const CapabilityCase cases[] = {
        {{}, Protocol::Tcp, ClientSide::EndPoint1, false, false, std::nullopt},
        {dscp, Protocol::Tcp, ClientSide::EndPoint1, true, false, std::nullopt},
        {dscp, Protocol::Tcp, ClientSide::EndPoint1, false, true, FailureSide::EndPoint1},
        {dscp, Protocol::Tcp, ClientSide::Console, false, false, std::nullopt},
        {shortUdp, Protocol::Udp, ClientSide::EndPoint1, true, false, std::nullopt},
        {jumbo, Protocol::Udp, ClientSide::EndPoint1, true, false, FailureSide::EndPoint2},
        {jumbo, Protocol::Udp, ClientSide::Console, false, false, FailureSide::EndPoint2},
        {jumbo, Protocol::Tcp, ClientSide::EndPoint1, true, false, std::nullopt},
        {mss, Protocol::Udp, ClientSide::EndPoint1, false, false, std::nullopt},
        {mss, Protocol::Tcp, ClientSide::EndPoint1, false, true, FailureSide::EndPoint1},
    };
    const TakenOptions all = {TrafficOption::Dscp, TrafficOption::Length, TrafficOption::Mss};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const CapabilityCase& c = cases[i];
        PairConfig pair;
        pair.endpoint1 = "198.51.100.7";
        pair.endpoint2 = "198.51.100.8";
        pair.traffic = c.traffic;
        std::map<std::string, LinkFacts> links;
        if (c.end1Takes)
            links[pair.endpoint1].takes = all;
        if (c.end2Takes)
            links[pair.endpoint2].takes = all;
        const auto failure = UntakenOption(pair, c.protocol, c.client, links);
        ASSERT_EQ(failure.has_value(), c.refused.has_value()) << i;
        if (failure) {
            EXPECT_EQ(failure->side, *c.refused) << i;
            EXPECT_EQ(failure->kind, FailureKind::OptionNotTaken);
        }
    }
}

TEST(PairCapabilities, TheCauseNamesTheEndAndTheOption) {
    PairConfig pair;
    pair.endpoint1 = "198.51.100.7";
    pair.endpoint2 = "198.51.100.8";
    pair.traffic.dscp = 46;
    std::map<std::string, LinkFacts> links;
    links[pair.endpoint1].speedMbps = 1000;  // facts, but no "takes": an EndPoint before them
    const auto failure = UntakenOption(pair, Protocol::Tcp, ClientSide::EndPoint1, links);
    ASSERT_TRUE(failure);
    const std::string line = FailureLines(*failure).at(0);
    EXPECT_TRUE(
        line.ends_with(": End Point 1 198.51.100.7 does not take DSCP marking: an older EndPoint"))
        << line;

    pair.traffic = {std::nullopt, 9000, std::nullopt};
    links[pair.endpoint1].takes = {TrafficOption::Length};
    const auto server = UntakenOption(pair, Protocol::Udp, ClientSide::EndPoint1, links);
    ASSERT_TRUE(server);
    EXPECT_TRUE(FailureLines(*server).at(0).ends_with(
        "End Point 2 198.51.100.8 does not take a datagram or write size: an older EndPoint"));
}

// Only pairs that carry options and are measured make the window ask, each address once.
TEST(PairCapabilities, EndsToAskAreTheUnknownEndsOfMarkedActivePairs) {
    ConsoleData data;
    const auto add = [&](const char* from, const char* to, TrafficOptions traffic, bool active) {
        PairConfig pair;
        pair.endpoint1 = from;
        pair.endpoint2 = to;
        pair.traffic = traffic;
        const PairId id = data.AddPair(std::move(pair));
        if (!active)
            data.table.SetActive({id}, false);
    };
    add("198.51.100.1", "198.51.100.2", {}, true);
    add("198.51.100.3", "198.51.100.4", {46, std::nullopt, std::nullopt}, true);
    add("198.51.100.4", "198.51.100.5", {std::nullopt, 200, std::nullopt}, true);
    add("198.51.100.6", "198.51.100.7", {46, std::nullopt, std::nullopt}, false);
    data.links["198.51.100.5"].mtu = 1500;
    EXPECT_EQ(EndsToAskBeforeTheRun(data),
              (std::vector<std::string>{"198.51.100.3", "198.51.100.4"}));
    data.links["198.51.100.3"] = {};
    data.links["198.51.100.4"] = {};
    EXPECT_TRUE(EndsToAskBeforeTheRun(data).empty());
}

}  // namespace
}  // namespace quarn::console
