#include "address/ipv4.h"

#include <gtest/gtest.h>

namespace quarn {
namespace {

TEST(Ipv4, StrictDottedDecimalRoundTrip) {
    for (const char* text : {"198.18.0.1", "0.0.0.0", "255.255.255.255", "10.200.3.45"}) {
        const auto parsed = ParseIpv4(text);
        ASSERT_TRUE(parsed) << text;
        EXPECT_EQ(FormatIpv4(*parsed), text);
    }
    EXPECT_EQ(ParseIpv4("198.18.0.1"), 0xC6120001u);
    EXPECT_EQ(ParseIpv4("0.0.0.0"), 0u);
    EXPECT_EQ(ParseIpv4("255.255.255.255"), 0xFFFFFFFFu);
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.256", "1..2.3",
                            "1.2.3.4 ", " 1.2.3.4", "a.b.c.d", "1.2.3.-4", "0x1.2.3.4",
                            "1.2.3.4/24", "1234.1.1.1", "1.2.3.", "1.2.3.0004", "-1.2.3.4"}) {
        EXPECT_FALSE(ParseIpv4(bad)) << bad;
    }
}

}  // namespace
}  // namespace quarn
