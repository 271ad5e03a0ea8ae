#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>

#include "address/ip_address.h"
#include "address/ipv4.h"

namespace quarn {
namespace {

// The leaf must take exactly the texts the C library takes, and write what it reads.
TEST(IpAddressAgainstInetPton, SameVerdictAndValue) {
    for (const char* text : {"::",
                             "::1",
                             "1::",
                             "fd00:77::2",
                             "FD00:0077:0000::0002",
                             "1:2:3:4:5:6:7:8",
                             "1:2:3:4:5:6:7::",
                             "::2:3:4:5:6:7:8",
                             "1:2:3:4:5:6::8",
                             "::ffff:1.2.3.4",
                             "::1.2.3.4",
                             "1:2:3:4:5:6:1.2.3.4",
                             "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff",
                             "0000:0000:0000:0000:0000:0000:0000:0000",
                             "1:2:3:4:5:6:7:8:9",
                             "1:2:3:4:5:6:7",
                             "1:2:3:4:5:6:7:8::",
                             "::1:2:3:4:5:6:7:8",
                             "1::2::3",
                             "12345::",
                             ":::",
                             ":",
                             "",
                             ":1::",
                             "1::2:",
                             "::1.2.3",
                             "::1.2.3.04",
                             "::1.2.3.4:5",
                             "1:2:3:4:5:6:7:1.2.3.4",
                             "::256.0.0.0",
                             "g::",
                             "::00001",
                             "fe80::1%eth0",
                             "1:2:3:4:5::1.2.3.4",
                             "::ffff:01.2.3.4",
                             "1.2.3.4"}) {
        unsigned char expected[16];
        const bool libcTakes = inet_pton(AF_INET6, text, expected) == 1;
        const auto ours = ParseIpv6(text);
        ASSERT_EQ(ours.has_value(), libcTakes) << text;
        if (ours) {
            EXPECT_EQ(std::memcmp(ours->data(), expected, 16), 0) << text;
            unsigned char again[16];
            ASSERT_EQ(inet_pton(AF_INET6, FormatIpv6(*ours).c_str(), again), 1) << text;
            EXPECT_EQ(std::memcmp(again, expected, 16), 0) << text;
        }
    }
    for (const char* text : {"1.2.3.4", "0.0.0.0", "01.2.3.4", "1.2.3.4.5", "256.0.0.1", "1.2.3",
                             "1.2.3.4 ", "255.255.255.255", "1.2.3.00", "0.0.0.0x1"}) {
        in_addr expected{};
        const bool libcTakes = inet_pton(AF_INET, text, &expected) == 1;
        const auto ours = ParseIpv4(text);
        ASSERT_EQ(ours.has_value(), libcTakes) << text;
        if (ours) {
            EXPECT_EQ(*ours, ntohl(expected.s_addr)) << text;
        }
    }
}

}  // namespace
}  // namespace quarn
