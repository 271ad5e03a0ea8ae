#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/codec.h"

namespace quarn::protocol {
namespace {

using Args = std::vector<std::string>;

TEST(ValidateClientCommand, AcceptsEverythingTheConsoleBuilds) {
    const ClientCommand commands[] = {
        {"198.18.0.3", "1", "310", false, "64K", 2, "184", "131072", "1460"},
        {"198.18.0.3", "1", "310", true, "1m", 1, "252", "200", ""},
        {"198.18.0.3", "1", "310", false, "5.000000m", 4, "", "", ""},
        {"198.18.0.3", "1", "310", false, "64K", 1, "", "", ""},
        {"198.18.0.3", "1", "310", false, "", 1, "", "", ""},
        {"198.18.0.3", "1", "65535", true, "100.5M", 1, "", "", ""},
        {"10.0.0.255", "1", "12", true, "1g", 16, "", "", ""},
    };
    for (const ClientCommand& command : commands) {
        const std::string line = BuildClientCommand(command);
        const auto args = ValidateClientCommand(line);
        ASSERT_TRUE(args) << line;
        // The argument tail is the command itself, token by token.
        std::string rejoined;
        for (const std::string& arg : *args) {
            rejoined += " " + arg;
        }
        EXPECT_EQ(rejoined, line);
    }
    EXPECT_EQ(ValidateClientCommand(" -c 198.18.0.3 -P 4 -f m"),
              (Args{"-c", "198.18.0.3", "-P", "4", "-f", "m"}));
}

TEST(ValidateClientCommand, RejectsAnythingElse) {
    const char* rejected[] = {
        "",
        " -i 1 -t 310 -f m",             // no -c
        " -c 198.18.0.3 -c 198.18.0.4",  // -c twice
        " -c 198.18.0.256 -f m",         // not an IPv4 address
        " -c 198.18.0 -f m",
        " -c host.example -f m",
        " -c 198.18.0.3 -f k",            // only -f m
        " -c 198.18.0.3 -s",              // server mode
        " -c 198.18.0.3 -o /etc/passwd",  // output file
        " -c 198.18.0.3 -F /etc/shadow",  // input file
        " -c 198.18.0.3 --reverse",
        " -c 198.18.0.3 -t 10;reboot",
        " -c 198.18.0.3 | cat",
        " -c 198.18.0.3 -t $(id)",
        " -c 198.18.0.3 -t `id`",
        " -c 198.18.0.3 -w 64K;id",
        " -c 198.18.0.3 -b 10 m",  // space inside a size
        " -c 198.18.0.3 -w 1.m",
        " -c 198.18.0.3 -w .5m",
        " -c 198.18.0.3 -w 5mm",
        " -c 198.18.0.3 -t -1",
        " -c 198.18.0.3 -t",  // value missing
        " -c 198.18.0.3 stray",
        " -c 198.18.0.3\t-t 1",
    };
    for (const char* line : rejected) {
        EXPECT_FALSE(ValidateClientCommand(line)) << line;
    }
}

// A run that outlasts any the Console can ask for, or with more streams than a pair has,
// only ties up the EndPoint and its peer.
TEST(ValidateClientCommand, BoundsIntervalDurationAndStreamsToWhatTheConsoleSends) {
    const std::string base = " -c 198.18.0.3";
    for (const char* accepted :
         {" -i 1 -t 259500 -P 16 -f m", " -i 1 -t 1 -P 1 -f m", " -i 1 -t 301 -w 64K -P 2 -f m"}) {
        EXPECT_TRUE(ValidateClientCommand(base + accepted)) << accepted;
    }
    for (const char* rejected :
         {" -i 1 -t 999999999 -f m", " -i 1 -t 259501 -f m", " -i 1 -t 0 -f m",
          " -i 1 -t 300 -P 2000 -f m", " -i 1 -t 300 -P 17 -f m", " -i 1 -t 300 -P 0 -f m",
          " -i 0 -t 300 -f m", " -i 2 -t 300 -f m", " -i 100000 -t 300 -f m"}) {
        EXPECT_FALSE(ValidateClientCommand(base + rejected)) << rejected;
    }
}

// A host on the segment could otherwise order a flood no Console ever asks for: at
// everyone, or at more than any link carries.
TEST(ValidateClientCommand, RefusesFloodsNoConsoleSends) {
    for (const char* accepted :
         {" -c 198.18.0.3 -i 1 -t 60 -u -b 100.000000m -f m", " -c 198.18.0.3 -u -b 100000m",
          " -c 198.18.0.3 -u -b 11G", " -c 198.18.0.3 -u -P 1 -b 1m", " -c 198.18.0.3 -u",
          " -c 223.255.255.254 -u -b 1m", " -c 1.0.0.1 -w 64K -P 16"}) {
        EXPECT_TRUE(ValidateClientCommand(accepted)) << accepted;
    }
    for (const char* rejected : {
             " -c 198.18.0.3 -u -P 16 -b 999g -t 259500",  // many UDP streams, any rate
             " -c 198.18.0.3 -u -P 2 -b 1m",
             " -c 198.18.0.3 -u -b 999g",  // beyond any link
             " -c 198.18.0.3 -u -b 100001m",
             " -c 198.18.0.3 -u -b 12G",  // upper case: bytes
             " -c 198.18.0.3 -u -b 0", " -c 198.18.0.3 -u -b 0.0m",
             " -c 198.18.0.3 -b 1m",      // a rate without UDP
             " -c 198.18.0.3 -u -w 64K",  // a window with UDP
             " -c 0.0.0.0 -u -b 1m",      // unspecified
             " -c 0.1.2.3 -u -b 1m",
             " -c 255.255.255.255 -u -b 1m",  // broadcast
             " -c 224.0.0.1 -u -b 1m",        // multicast
             " -c 239.255.255.250 -u -b 1m",
             " -c 240.0.0.1 -u -b 1m",  // reserved
         }) {
        EXPECT_FALSE(ValidateClientCommand(rejected)) << rejected;
    }
}

TEST(ValidateClientCommand, TakesIpv6TargetsThatNeedNoZone) {
    for (const char* target : {"fd00:77::12", "2001:db8::1", "::1", "FD00:77:0::12"}) {
        const auto tokens =
            ValidateClientCommand(std::string(" -c ") + target + " -i 1 -t 10 -f m");
        ASSERT_TRUE(tokens) << target;
        EXPECT_EQ((*tokens)[1], target);  // handed to iperf as written
    }
    for (const char* target :
         {"fe80::12", "fe80::12%eth0", "[fd00:77::12]", "ff02::1", "::", "::ffff:198.18.0.3",
          "fd00:77::12/64", "fd00::77::12", "fd00:77:0:0:0:0:0:0:12"}) {
        EXPECT_FALSE(ValidateClientCommand(std::string(" -c ") + target + " -i 1 -t 10 -f m"))
            << target;
    }
}

// The marking, datagram size and MSS a pair may ask for, within iperf's own bounds, and
// nothing that only resembles them.
TEST(ValidateClientCommand, TrafficOptionsWithinTheirBounds) {
    ClientCommand udp{"198.18.0.3", "1", "310", true, "10m", 1, "184", "200", ""};
    EXPECT_TRUE(ValidateClientCommand(BuildClientCommand(udp)));
    ClientCommand tcp{"198.18.0.3", "1", "310", false, "64K", 4, "0", "131072", "1000"};
    EXPECT_EQ(ValidateClientCommand(BuildClientCommand(tcp))->size(), 18u);
    for (const char* accepted :
         {" -c 198.18.0.3 -S 252", " -c 198.18.0.3 -S 4", " -c 198.18.0.3 -u -l 20",
          " -c 198.18.0.3 -u -l 65507", " -c 198.18.0.3 -l 1", " -c 198.18.0.3 -l 1048576",
          " -c 198.18.0.3 -M 536", " -c 198.18.0.3 -M 9000 -w 64K -P 2"}) {
        EXPECT_TRUE(ValidateClientCommand(accepted)) << accepted;
    }
    for (const char* rejected :
         {" -c 198.18.0.3 -S 256", " -c 198.18.0.3 -S 254",  // beyond the DSCP, ECN bits
          " -c 198.18.0.3 -S 2", " -c 198.18.0.3 -S 0xb8", " -c 198.18.0.3 -S -4",
          " -c 198.18.0.3 -S 184 -S 184",
          " -c 198.18.0.3 -u -l 19",     // no room for iperf's header
          " -c 198.18.0.3 -u -l 65508",  // beyond an IPv4 datagram
          " -c 198.18.0.3 -l 0", " -c 198.18.0.3 -l 1048577", " -c 198.18.0.3 -l 8K",
          " -c 198.18.0.3 -M 535", " -c 198.18.0.3 -M 9001",
          " -c 198.18.0.3 -u -M 1000",  // no MSS for UDP
          " -c 198.18.0.3 -l", " -c 198.18.0.3 -M 1000;id"}) {
        EXPECT_FALSE(ValidateClientCommand(rejected)) << rejected;
    }
}

TEST(IsLoopback, TheWholeBlock) {
    EXPECT_TRUE(IsLoopback(0x7f000001));
    EXPECT_TRUE(IsLoopback(0x7fff0009));
    EXPECT_FALSE(IsLoopback(0x80000001));
    EXPECT_FALSE(IsLoopback(0x7effffff));
}

TEST(LargestRateBitsPerSecond, ReadsSuffixesTheWayIperfMightAtMost) {
    EXPECT_EQ(LargestRateBitsPerSecond("5"), 5.0);
    EXPECT_EQ(LargestRateBitsPerSecond("1.5k"), 1500.0);
    EXPECT_EQ(LargestRateBitsPerSecond("100.000000m"), 100e6);
    EXPECT_EQ(LargestRateBitsPerSecond("2g"), 2e9);
    EXPECT_EQ(LargestRateBitsPerSecond("1K"), 8.0 * 1024);
    EXPECT_EQ(LargestRateBitsPerSecond("1M"), 8.0 * 1024 * 1024);
    EXPECT_EQ(LargestRateBitsPerSecond("1G"), 8.0 * 1024 * 1024 * 1024);
    EXPECT_EQ(LargestRateBitsPerSecond("5x"), std::nullopt);
    EXPECT_EQ(LargestRateBitsPerSecond(""), std::nullopt);
}

TEST(ValidateServerOptions, OnlyTheRequestForms) {
    for (const std::string_view request : {kServerRequestUdp, kServerRequestTcp}) {
        RequestFramer framer;
        ASSERT_EQ(framer.Append(request), RequestFramer::Complete);
        EXPECT_TRUE(ValidateServerOptions(RequestFramer::ServerOptions(framer.Line()))) << request;
    }
    EXPECT_EQ(ValidateServerOptions(" -s -f m -i 1 -w 5.000000m"),
              (Args{"-s", "-f", "m", "-i", "1", "-w", "5.000000m"}));
    EXPECT_EQ(ValidateServerOptions(" -s -u -f m -i 1"), (Args{"-s", "-u", "-f", "m", "-i", "1"}));
    EXPECT_EQ(ValidateServerOptions(" -s -u -f m -i 1 -l 9000"),
              (Args{"-s", "-u", "-f", "m", "-i", "1", "-l", "9000"}));

    const char* rejected[] = {
        "",
        " -s -f m -i 1 -w",
        " -s -f m -i 1 -w 5m -P 2",
        " -s -u -f m -i 1 -w 5m",
        " -s -f m -i 2",
        " -s -f m -i 1 -w 5m;id",
        " -s -f m -i 1 -o /tmp/x",
        " -f m -s -i 1",
        " -s -u -f m -i 1 -l 19",
        " -s -u -f m -i 1 -l 65508",
        " -s -f m -i 1 -l 9000",  // a TCP server reads any length
        " -s -u -f m -i 1 -l 9000 -l 9000",
    };
    for (const char* options : rejected) {
        EXPECT_FALSE(ValidateServerOptions(options)) << options;
    }
}

TEST(IsIperfSize, Syntax) {
    for (const char* good : {"5", "64K", "5.000000m", "1g", "10M", "0.5k"}) {
        EXPECT_TRUE(IsIperfSize(good)) << good;
    }
    for (const char* bad : {"", "m", "5x", "5 m", "5.", ".5", "1e6", "-5", "5kk", "5.5.5",
                            "1111111111111111111111111"}) {
        EXPECT_FALSE(IsIperfSize(bad)) << bad;
    }
}

}  // namespace
}  // namespace quarn::protocol
