#include "console/headless/headless_options.h"

#include <gtest/gtest.h>

namespace quarn::console {
namespace {

Result<HeadlessOptions> Parse(std::vector<std::string> args) {
    args.insert(args.begin(), "Quarn_Console");
    return ParseHeadlessOptions(args);
}

TEST(HeadlessOptions, ReadsEveryOption) {
    const Result<HeadlessOptions> r = Parse({"--headless",
                                             "--search",
                                             "--pair",
                                             "198.18.0.11,198.18.0.12",
                                             "--pair=1.2.3.4,5.6.7.8,4",
                                             "--duration",
                                             "10",
                                             "--udp",
                                             "--window",
                                             "2.5",
                                             "--throughput",
                                             "300",
                                             "--open",
                                             "a.config",
                                             "--save",
                                             "b.config",
                                             "--csv",
                                             "c.csv",
                                             "--interface",
                                             "lo",
                                             "--interface",
                                             "eth1",
                                             "--no-run"});
    ASSERT_TRUE(r.Ok()) << r.Why();
    const HeadlessOptions& o = *r;
    EXPECT_TRUE(o.search);
    EXPECT_TRUE(o.noRun);
    ASSERT_EQ(o.pairs.size(), 2u);
    EXPECT_EQ(o.pairs[0].endpoint1, "198.18.0.11");
    EXPECT_EQ(o.pairs[0].endpoint2, "198.18.0.12");
    EXPECT_EQ(o.pairs[0].streams, 1);
    EXPECT_EQ(o.pairs[1].streams, 4);
    EXPECT_EQ(o.durationText, "10");
    EXPECT_EQ(o.protocol, Protocol::Udp);
    EXPECT_EQ(o.windowText, "2.5");
    EXPECT_EQ(o.throughputText, "300");
    EXPECT_EQ(o.openPath, "a.config");
    EXPECT_EQ(o.savePath, "b.config");
    EXPECT_EQ(o.csvPath, "c.csv");
    EXPECT_EQ(o.interfaces, (std::vector<std::string>{"lo", "eth1"}));
}

TEST(HeadlessOptions, UnsetSettingsStayUnset) {
    const Result<HeadlessOptions> r = Parse({"--pair", "1.2.3.4,1.2.3.4"});
    ASSERT_TRUE(r.Ok()) << r.Why();
    EXPECT_FALSE(r->durationText.has_value());
    EXPECT_FALSE(r->protocol.has_value());
    EXPECT_FALSE(r->windowText.has_value());
}

TEST(HeadlessOptions, RefusesBadInput) {
    EXPECT_FALSE(Parse({"--bogus"}).Ok());
    EXPECT_FALSE(Parse({"--pair"}).Ok());
    EXPECT_FALSE(Parse({"--pair", "1.2.3.4"}).Ok());
    EXPECT_FALSE(Parse({"--pair", "1.2.3.4,host.example"}).Ok());
    EXPECT_FALSE(Parse({"--pair", "1.2.3.4,1.2.3.256"}).Ok());
    EXPECT_FALSE(Parse({"--pair", "1.2.3.4,1.2.3.5,0"}).Ok());
    EXPECT_FALSE(Parse({"--pair", "1.2.3.4,1.2.3.5,17"}).Ok());
    EXPECT_FALSE(Parse({"--pair", "1.2.3.4,1.2.3.5,2x"}).Ok());
    EXPECT_FALSE(Parse({"--search=yes"}).Ok());
}

TEST(HeadlessOptions, PairsTakeIpv6AddressesInTheirCanonicalText) {
    const Result<HeadlessOptions> r =
        Parse({"--pair", "FD00:77:0:0::2,[fd00:77::3],2", "--pair", "fe80::1%veth0,198.18.0.12"});
    ASSERT_TRUE(r.Ok()) << r.Why();
    ASSERT_EQ(r->pairs.size(), 2u);
    EXPECT_EQ(r->pairs[0].endpoint1, "fd00:77::2");
    EXPECT_EQ(r->pairs[0].endpoint2, "fd00:77::3");
    EXPECT_EQ(r->pairs[0].streams, 2);
    EXPECT_EQ(r->pairs[1].endpoint1, "fe80::1%veth0");
    EXPECT_EQ(r->pairs[1].endpoint2, "198.18.0.12");
    for (const char* bad : {"fd00:77::2::3,fd00:77::3", "fd00:77::2,fd00:77::g",
                            "fd00:77::2,[fd00:77::3]:5001", "fd00:77::2,fd00:77::3:1:2:3:4:5:6"}) {
        const Result<HeadlessOptions> refused = Parse({"--pair", bad});
        ASSERT_FALSE(refused.Ok()) << bad;
        EXPECT_EQ(refused.Why(), std::string("--pair expects IPv4 or IPv6 addresses: ") + bad);
    }
}

std::vector<std::string> Routes(const HeadlessOptions& o) {
    std::vector<std::string> routes;
    for (const PairSpec& pair : o.pairs)
        routes.push_back(pair.endpoint1 + ">" + pair.endpoint2);
    return routes;
}

TEST(HeadlessOptions, BuildersAddTheirPairsAfterThoseGivenBefore) {
    const Result<HeadlessOptions> r =
        Parse({"--pair", "1.0.0.1,1.0.0.2,4", "--fan-in", "1.0.0.3,1.0.0.4:1.0.0.9", "--fan-out",
               "1.0.0.9:1.0.0.5", "--both-ways"});
    ASSERT_TRUE(r.Ok()) << r.Why();
    EXPECT_EQ(Routes(*r),
              (std::vector<std::string>{"1.0.0.1>1.0.0.2", "1.0.0.3>1.0.0.9", "1.0.0.4>1.0.0.9",
                                        "1.0.0.9>1.0.0.5", "1.0.0.2>1.0.0.1", "1.0.0.9>1.0.0.3",
                                        "1.0.0.9>1.0.0.4", "1.0.0.5>1.0.0.9"}));
    EXPECT_EQ(r->pairs[0].streams, 4);
    EXPECT_EQ(r->pairs[1].streams, 1);
    EXPECT_EQ(r->pairs[4].streams, 4);  // the reverse of the first pair
    EXPECT_TRUE(r->bothWays);
    EXPECT_EQ(Parse({"--mesh", "1.0.0.1,1.0.0.2,1.0.0.3"})->pairs.size(), 6u);
    EXPECT_FALSE(Parse({"--pair", "1.0.0.1,1.0.0.2"})->bothWays);
}

// IPv6 ends in their canonical text, each named once however it is written; a fan text
// needs its IPv6 addresses in brackets, since a colon parts its ends.
TEST(HeadlessOptions, BuildersTakeIpv6AddressesAsPairsDo) {
    EXPECT_EQ(Routes(*Parse({"--mesh", "fd00::1,[FD00:0::2]"})),
              (std::vector<std::string>{"fd00::1>fd00::2", "fd00::2>fd00::1"}));
    EXPECT_EQ(Routes(*Parse({"--fan-in", "[fd00::1],10.0.0.2:[fd00::9]"})),
              (std::vector<std::string>{"fd00::1>fd00::9", "10.0.0.2>fd00::9"}));
    EXPECT_EQ(Routes(*Parse({"--fan-out", "[fe80::9%eth0]:[fe80::1%eth0]"})),
              (std::vector<std::string>{"fe80::9%eth0>fe80::1%eth0"}));

    EXPECT_EQ(Parse({"--mesh", "fd00::1,fd00:0::1"}).Why(), "--mesh names fd00::1 twice");
    EXPECT_EQ(Parse({"--mesh", "::ffff:10.0.0.1,10.0.0.1"}).Why(), "--mesh names 10.0.0.1 twice");
    EXPECT_EQ(Parse({"--mesh", "fd00::1,fd00::zz"}).Why(),
              "--mesh expects IPv4 or IPv6 addresses: fd00::1,fd00::zz");
    EXPECT_EQ(Parse({"--fan-out", "fd00::9:fd00::1"}).Why(),
              "--fan-out expects T:A,B, an IPv6 address in brackets: fd00::9:fd00::1");
    EXPECT_EQ(Parse({"--fan-out", "[fd00::9]:[fd00:0::9]"}).Why(),
              "--fan-out pairs fd00::9 with itself");
    EXPECT_EQ(Parse({"--fan-in", "10.0.0.1:[10.0.0.2]"}).Why(),
              "--fan-in expects an IPv4 or IPv6 address for T: 10.0.0.1:[10.0.0.2]");
}

// Seconds per phase, from 1 to an hour; without the option there is no isolation.
TEST(HeadlessOptions, IsolateTakesSecondsPerPhase) {
    EXPECT_EQ(Parse({"--isolate", "2"})->isolateSeconds, 2);
    EXPECT_EQ(Parse({"--isolate=3600"})->isolateSeconds, 3600);
    EXPECT_FALSE(Parse({"--pair", "1.0.0.1,1.0.0.2"})->isolateSeconds);
    EXPECT_EQ(Parse({"--isolate", "2", "--csv", "a.csv"}).Why(),
              "--isolate takes no --csv: each phase is a run of the history");
    for (const char* bad : {"0", "3601", "2s", "-1"})
        EXPECT_EQ(Parse({"--isolate", bad}).Why(),
                  std::string("--isolate expects seconds from 1 to 3600: ") + bad);
}

TEST(HeadlessOptions, BuildersOverTheSixteenPairsOrMalformedAddNothing) {
    EXPECT_EQ(Parse({"--mesh", "1.0.0.1,1.0.0.2,1.0.0.3,1.0.0.4,1.0.0.5"}).Why(),
              "--mesh would make 20 pairs; the max count of pairs is 16.");
    EXPECT_EQ(Parse({"--mesh", "1.0.0.1,1.0.0.2,1.0.0.3", "--mesh", "1.0.0.4,1.0.0.5"}).Why(),
              "--mesh is given more than once");
    std::vector<std::string> nine = {"--fan-in",
                                     "1.0.0.1,1.0.0.2,1.0.0.3,1.0.0.4,1.0.0.5,1.0.0.6,1.0.0.7,"
                                     "1.0.0.8,1.0.0.9:1.0.1.1",
                                     "--both-ways"};
    EXPECT_EQ(Parse(nine).Why(), "--both-ways would make 18 pairs; the max count of pairs is 16.");
    nine.pop_back();
    EXPECT_EQ(Parse(nine)->pairs.size(), 9u);
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"--mesh", "1.0.0.1"},
                                               {"--mesh", "1.0.0.1,1.0.0.1"},
                                               {"--mesh", "1.0.0.1,lab"},
                                               {"--fan-in", "1.0.0.1,1.0.0.2"},
                                               {"--fan-in", "1.0.0.1:1.0.0.1"},
                                               {"--fan-in", "1.0.0.1:1.0.0.2:1.0.0.3"},
                                               {"--fan-out", "1.0.0.1,1.0.0.2:1.0.0.3"},
                                               {"--fan-out", ":1.0.0.2"},
                                               {"--both-ways=yes"}}) {
        EXPECT_FALSE(Parse(bad).Ok()) << bad[0] << " " << bad.back();
    }
    EXPECT_EQ(Parse({"--fan-in", "1.0.0.1,1.0.0.2"}).Why(),
              "--fan-in expects A,B:T: 1.0.0.1,1.0.0.2");
}

TEST(HeadlessOptions, TrafficOptionsAndTheirRefusals) {
    const Result<HeadlessOptions> r = Parse({"--dscp", "af41", "--length=1400", "--mss", "1000"});
    ASSERT_TRUE(r.Ok()) << r.Why();
    EXPECT_EQ(r->traffic, (TrafficOptions{34, 1400, 1000}));
    EXPECT_EQ(Parse({"--dscp", "63"})->traffic.dscp, 63);
    EXPECT_TRUE(Parse({"--pair", "1.2.3.4,1.2.3.5"})->traffic.Empty());
    EXPECT_EQ(Parse({"--udp", "--length", "200"})->traffic.length, 200);
    EXPECT_EQ(Parse({"--dscp", "EF2"}).Why(), "--dscp expects CS0-CS7, AF11-AF43, EF or 0-63: EF2");
    EXPECT_FALSE(Parse({"--dscp", "64"}).Ok());
    EXPECT_FALSE(Parse({"--mss", "535"}).Ok());
    EXPECT_FALSE(Parse({"--mss", "9001"}).Ok());
    EXPECT_FALSE(Parse({"--length", "0"}).Ok());
    EXPECT_FALSE(Parse({"--length", "1048577"}).Ok());
    EXPECT_EQ(Parse({"--udp", "--mss", "1000"}).Why(), "--mss applies to TCP only");
    EXPECT_EQ(Parse({"--udp", "--length", "19"}).Why(),
              "--length: A UDP datagram size can be set from 20 to 65507 bytes.");
    EXPECT_TRUE(Parse({"--tcp", "--length", "100000"}).Ok());
}

TEST(HeadlessOptions, AnIpv4MappedPairAddressIsKeptAsItsIpv4Address) {
    const Result<HeadlessOptions> r = Parse({"--pair", "::ffff:198.18.0.12,[::ffff:198.18.0.13]"});
    ASSERT_TRUE(r.Ok()) << r.Why();
    EXPECT_EQ(r->pairs[0].endpoint1, "198.18.0.12");
    EXPECT_EQ(r->pairs[0].endpoint2, "198.18.0.13");
}

// An EndPoint runs no UDP rate above 100 Gbit/s: refused here, not when the run fails.
TEST(HeadlessOptions, AThroughputAboveWhatAnEndPointRunsIsRefused) {
    EXPECT_EQ(Parse({"--udp", "--throughput", "100000"})->throughputText, "100000");
    EXPECT_EQ(Parse({"--udp", "--throughput", "100001"}).Why(),
              "--throughput: The max value of Throughput is 100,000Mbps.");
    EXPECT_FALSE(Parse({"--throughput=2e5"}).Ok());
    // Not above 0 is the run's own refusal, with the window's notice.
    EXPECT_EQ(Parse({"--udp", "--throughput", "0"})->throughputText, "0");
}

// A second --csv or --duration would silently replace the first; --pair and --interface
// add one each.
TEST(HeadlessOptions, ARepeatedOptionIsRefusedByName) {
    EXPECT_EQ(Parse({"--csv", "a.csv", "--csv", "b.csv"}).Why(), "--csv is given more than once");
    EXPECT_EQ(Parse({"--duration", "5", "--duration=6"}).Why(),
              "--duration is given more than once");
    EXPECT_EQ(Parse({"--no-run", "--udp", "--no-run"}).Why(), "--no-run is given more than once");
    EXPECT_EQ(Parse({"--recover", "--recover", "x"}).Why(), "--recover is given more than once");
    const Result<HeadlessOptions> repeated =
        Parse({"--pair", "1.2.3.4,1.2.3.5", "--pair", "1.2.3.4,1.2.3.5", "--interface", "lo",
               "--interface=lo"});
    EXPECT_TRUE(repeated.Ok()) << repeated.Why();
    EXPECT_EQ(repeated->pairs.size(), 2u);
    EXPECT_EQ(repeated->interfaces.size(), 2u);
}

TEST(HeadlessOptions, AnOptionIsNotAValue) {
    EXPECT_EQ(Parse({"--csv", "--duration", "5"}).Why(), "--csv needs a value");
    EXPECT_EQ(Parse({"--save", "--headless"}).Why(), "--save needs a value");
    // A single dash is a value (standard output), and "=" takes anything.
    const Result<HeadlessOptions> dash = Parse({"--jsonl", "-", "--csv=--odd.csv"});
    EXPECT_TRUE(dash.Ok()) << dash.Why();
    EXPECT_EQ(dash->jsonlPath, "-");
    EXPECT_EQ(dash->csvPath, "--odd.csv");
}

TEST(HeadlessOptions, AtMostSixteenPairs) {
    std::vector<std::string> args;
    for (int i = 0; i < 16; ++i) {
        args.push_back("--pair");
        args.push_back("1.2.3.4,1.2.3.5");
    }
    EXPECT_TRUE(Parse(args).Ok());
    args.push_back("--pair");
    args.push_back("1.2.3.4,1.2.3.5");
    EXPECT_EQ(Parse(args).Why(), "The max count of pairs is 16.");
}

}  // namespace
}  // namespace quarn::console

namespace quarn::console {
namespace {

// The plan says what its steps run; the records, the report and the reference do not.
TEST(HeadlessOptions, APlanTakesTheRecordsButNotTheRunsSettings) {
    const Result<HeadlessOptions> r =
        Parse({"--plan", "floor.yaml", "--report", "f.html", "--jsonl", "-", "--baseline", "ref",
               "--title", "Floor", "--lab-key", "k"});
    ASSERT_TRUE(r) << r.Why();
    EXPECT_EQ(r->planPath, "floor.yaml");
    EXPECT_EQ(r->reportPath, "f.html");
    for (const std::vector<std::string>& extra :
         {std::vector<std::string>{"--pair", "1.2.3.4,5.6.7.8"},
          {"--mesh", "1.2.3.4,5.6.7.8"},
          {"--udp"},
          {"--duration", "5"},
          {"--dscp", "EF"},
          {"--pass-min", "5"},
          {"--csv", "x"},
          {"--open", "a.config"}}) {
        std::vector<std::string> args = {"--plan", "p.yaml"};
        args.insert(args.end(), extra.begin(), extra.end());
        const Result<HeadlessOptions> refused = Parse(args);
        ASSERT_FALSE(refused) << extra[0];
        EXPECT_EQ(refused.Why(), extra[0] +
                                     " cannot be given with --plan: the plan says what "
                                     "each of its steps runs");
    }
}

}  // namespace
}  // namespace quarn::console
