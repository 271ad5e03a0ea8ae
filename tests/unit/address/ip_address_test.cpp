#include "address/ip_address.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "address/ipv4.h"

namespace quarn {
namespace {

std::string Canonical(std::string_view text) {
    const auto parsed = ParseIpAddress(text);
    return parsed ? FormatIpAddress(*parsed) : "(refused)";
}

TEST(IpAddress, CanonicalTextCompressesTheLongestZeroRunOnly) {
    EXPECT_EQ(Canonical("fd00:77:0:0:0:0:0:2"), "fd00:77::2");
    EXPECT_EQ(Canonical("FD00:0077::0002"), "fd00:77::2");
    EXPECT_EQ(Canonical("::"), "::");
    EXPECT_EQ(Canonical("0:0:0:0:0:0:0:1"), "::1");
    EXPECT_EQ(Canonical("1:0:0:0:0:0:0:0"), "1::");
    // One zero group stays a zero; of equal runs the first is compressed.
    EXPECT_EQ(Canonical("2001:db8:0:1:1:1:1:1"), "2001:db8:0:1:1:1:1:1");
    EXPECT_EQ(Canonical("2001:0:0:1:0:0:1:1"), "2001::1:0:0:1:1");
    EXPECT_EQ(Canonical("2001:db8:0:0:1:0:0:0"), "2001:db8:0:0:1::");
    EXPECT_EQ(Canonical("0:0:1:0:0:0:1:0"), "0:0:1::1:0");
    EXPECT_EQ(Canonical("1:2:3:4:5:6:7::"), "1:2:3:4:5:6:7:0");
    EXPECT_EQ(Canonical("::2:3:4:5:6:7:8"), "0:2:3:4:5:6:7:8");
}

TEST(IpAddress, MappedAndDottedTails) {
    EXPECT_EQ(Canonical("::ffff:198.18.0.1"), "::ffff:198.18.0.1");
    EXPECT_EQ(Canonical("::FFFF:c612:0001"), "::ffff:198.18.0.1");
    const auto mapped = ParseIpAddress("::ffff:198.18.0.1");
    ASSERT_TRUE(mapped);
    EXPECT_TRUE(mapped->IsV4Mapped());
    EXPECT_EQ(mapped->Unmapped(), IpAddress::V4(0xC6120001u));
    // The old compatible form is plain IPv6 and is written in hexadecimal.
    EXPECT_EQ(Canonical("::1.2.3.4"), "::102:304");
    EXPECT_EQ(Canonical("64:ff9b::192.0.2.33"), "64:ff9b::c000:221");
    EXPECT_FALSE(ParseIpAddress("fd00::1")->IsV4Mapped());
    EXPECT_EQ(ParseIpAddress("fd00::1")->Unmapped(), *ParseIpAddress("fd00::1"));
}

TEST(IpAddress, MalformedTextIsRefused) {
    for (const char* bad : {"",
                            ":",
                            ":::",
                            "1:2:3:4:5:6:7:8:9",
                            "1:2:3:4:5:6:7",
                            "1:2:3:4:5:6:7:8::",
                            "::1:2:3:4:5:6:7:8",
                            "1::2::3",
                            "12345::",
                            "fd00::g",
                            ":1::",
                            "1::2:",
                            "1:2",
                            "fd00:77::2 ",
                            " fd00:77::2",
                            "::1.2.3",
                            "::1.2.3.04",
                            "1:2:3:4:5:6:7:1.2.3.4",
                            "::1.2.3.4:5",
                            "::256.1.1.1",
                            "fd00::/64",
                            "[fd00::1",
                            "fd00::1]",
                            "[198.18.0.1]",
                            "[]",
                            "fd00::1%",
                            "fe80::1%eth 0",
                            "fe80::1%0123456789abcdef",
                            "fd00::1%eth0",
                            "198.18.0.1%eth0",
                            "[fd00::1]:45000",
                            "010.0.0.1",
                            "0x1.2.3.4"}) {
        EXPECT_FALSE(ParseIpAddress(bad)) << bad;
    }
}

TEST(IpAddress, ZonesAndBracketsOnLinkScopedAddresses) {
    const auto linkLocal = ParseIpAddress("[FE80::0:1%veth-a.1]");
    ASSERT_TRUE(linkLocal);
    EXPECT_TRUE(linkLocal->IsLinkLocal());
    EXPECT_EQ(linkLocal->Zone(), "veth-a.1");
    EXPECT_EQ(FormatIpAddress(*linkLocal), "fe80::1%veth-a.1");
    EXPECT_EQ(FormatWithPort(*linkLocal, 45000), "[fe80::1%veth-a.1]:45000");
    EXPECT_EQ(Canonical("ff02::1%3"), "ff02::1%3");
    EXPECT_EQ(Canonical("fe80::1"), "fe80::1");
    EXPECT_EQ(Canonical("[fd00:77::2]"), "fd00:77::2");
    EXPECT_EQ(FormatWithPort(*ParseIpAddress("198.18.0.1"), 54321), "198.18.0.1:54321");
    EXPECT_TRUE(ParseIpAddress("fd00:77::2")->IsUniqueLocal());
    EXPECT_FALSE(ParseIpAddress("fe80::2")->IsUniqueLocal());
    EXPECT_TRUE(ParseIpAddress("::1")->IsLoopback());
    EXPECT_TRUE(ParseIpAddress("127.0.0.2")->IsLoopback());
    EXPECT_TRUE(ParseIpAddress("169.254.3.4")->IsLinkLocal());
    // Only an IPv6 one names a link that a zone must choose.
    EXPECT_TRUE(IsIpv6LinkLocalText("fe80::1%eth0"));
    EXPECT_TRUE(IsIpv6LinkLocalText("[FE80::2]"));
    EXPECT_FALSE(IsIpv6LinkLocalText("169.254.3.4"));
    EXPECT_FALSE(IsIpv6LinkLocalText("fd00:77::2"));
    EXPECT_FALSE(IsIpv6LinkLocalText("fe80::1 port 5001"));
}

TEST(IpAddress, OrderingPutsIpv4FirstThenValueThenZone) {
    std::vector<IpAddress> addresses;
    for (const char* text : {"fe80::1%b", "fd00::2", "10.0.0.2", "fe80::1", "fd00::10", "fe80::1%a",
                             "10.0.0.10", "::ffff:10.0.0.1"}) {
        addresses.push_back(*ParseIpAddress(text));
    }
    std::sort(addresses.begin(), addresses.end());
    std::vector<std::string> sorted;
    for (const auto& a : addresses) {
        sorted.push_back(FormatIpAddress(a));
    }
    EXPECT_EQ(sorted,
              (std::vector<std::string>{"10.0.0.2", "10.0.0.10", "::ffff:10.0.0.1", "fd00::2",
                                        "fd00::10", "fe80::1", "fe80::1%a", "fe80::1%b"}));
    EXPECT_EQ(*ParseIpAddress("fd00:77::2"), *ParseIpAddress("fd00:77:0::0:2"));
    EXPECT_NE(*ParseIpAddress("fe80::1%a"), *ParseIpAddress("fe80::1"));
    EXPECT_NE(*ParseIpAddress("::ffff:10.0.0.1"), *ParseIpAddress("10.0.0.1"));
}

TEST(IpAddress, SourceBlockIsTheSlash64ExceptOnTheLink) {
    EXPECT_EQ(Canonical(FormatIpAddress(SourceBlock(*ParseIpAddress("fd00:77::1:2:3:4")))),
              "fd00:77::");
    EXPECT_EQ(FormatIpAddress(SourceBlock(*ParseIpAddress("2001:db8:1:2:ffff::1"))),
              "2001:db8:1:2::");
    EXPECT_EQ(FormatIpAddress(SourceBlock(*ParseIpAddress("fe80::1%eth0"))), "fe80::1%eth0");
    EXPECT_EQ(SourceBlock(*ParseIpAddress("::ffff:10.1.2.3")), IpAddress::V4(0x0A010203u));
    EXPECT_EQ(SourceBlock(IpAddress::V4(0x0A010203u)), IpAddress::V4(0x0A010203u));
}

TEST(Ipv4, LeadingZerosAreRefusedLikeInetPton) {
    EXPECT_EQ(ParseIpv4("0.10.100.0"), 0x000A6400u);
    for (const char* bad : {"010.0.0.1", "1.2.3.00", "1.02.3.4"}) {
        EXPECT_FALSE(ParseIpv4(bad)) << bad;
    }
}

}  // namespace
}  // namespace quarn
