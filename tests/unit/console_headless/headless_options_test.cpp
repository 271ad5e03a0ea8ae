#include "console/headless/headless_options.h"

#include <gtest/gtest.h>

namespace quarn::console {
namespace {

ParseResult Parse(std::vector<std::string> args) {
    args.insert(args.begin(), "Quarn_Console");
    return ParseHeadlessOptions(args);
}

TEST(HeadlessOptions, ReadsEveryOption) {
    const ParseResult r = Parse({"--headless",
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
    ASSERT_EQ(r.error, "");
    const HeadlessOptions& o = r.options;
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
    const ParseResult r = Parse({"--pair", "1.2.3.4,1.2.3.4"});
    ASSERT_EQ(r.error, "");
    EXPECT_FALSE(r.options.durationText.has_value());
    EXPECT_FALSE(r.options.protocol.has_value());
    EXPECT_FALSE(r.options.windowText.has_value());
}

TEST(HeadlessOptions, RefusesBadInput) {
    EXPECT_NE(Parse({"--bogus"}).error, "");
    EXPECT_NE(Parse({"--pair"}).error, "");
    EXPECT_NE(Parse({"--pair", "1.2.3.4"}).error, "");
    EXPECT_NE(Parse({"--pair", "1.2.3.4,host.example"}).error, "");
    EXPECT_NE(Parse({"--pair", "1.2.3.4,1.2.3.256"}).error, "");
    EXPECT_NE(Parse({"--pair", "1.2.3.4,1.2.3.5,0"}).error, "");
    EXPECT_NE(Parse({"--pair", "1.2.3.4,1.2.3.5,17"}).error, "");
    EXPECT_NE(Parse({"--pair", "1.2.3.4,1.2.3.5,2x"}).error, "");
    EXPECT_NE(Parse({"--search=yes"}).error, "");
}

TEST(HeadlessOptions, AtMostSixteenPairs) {
    std::vector<std::string> args;
    for (int i = 0; i < 16; ++i) {
        args.push_back("--pair");
        args.push_back("1.2.3.4,1.2.3.5");
    }
    EXPECT_EQ(Parse(args).error, "");
    args.push_back("--pair");
    args.push_back("1.2.3.4,1.2.3.5");
    EXPECT_EQ(Parse(args).error, "The max count of pairs is 16.");
}

}  // namespace
}  // namespace quarn::console
