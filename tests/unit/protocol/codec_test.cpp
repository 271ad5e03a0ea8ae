#include <gtest/gtest.h>

#include <string>

#include "protocol/codec.h"

namespace quarn::protocol {
namespace {

TEST(ClassifyDatagram, ByCaseSensitivePrefix) {
    EXPECT_EQ(ClassifyDatagram("hello"), DatagramKind::Probe);
    EXPECT_EQ(ClassifyDatagram("hello there"), DatagramKind::Probe);
    EXPECT_EQ(ClassifyDatagram("Hello"), DatagramKind::Other);
    EXPECT_EQ(ClassifyDatagram("hell"), DatagramKind::Other);
    EXPECT_EQ(ClassifyDatagram("restart"), DatagramKind::Restart);
    EXPECT_EQ(ClassifyDatagram("restartX"), DatagramKind::Restart);
    EXPECT_EQ(ClassifyDatagram("restar"), DatagramKind::Other);
    EXPECT_EQ(ClassifyDatagram(""), DatagramKind::Other);
}

TEST(ProbeReply, RoundTripKeepsNameWithSpaces) {
    const std::string text = FormatProbeReply("198.18.0.2", 5001, 45000, "lab pc  two ");
    EXPECT_EQ(text, "198.18.0.2 5001 45000 lab pc  two ");
    const auto reply = ParseProbeReply(text);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->address, "198.18.0.2");
    EXPECT_EQ(reply->iperfPortText, "5001");
    EXPECT_EQ(reply->controlPortText, "45000");
    EXPECT_EQ(reply->rawName, "lab pc  two ");
    EXPECT_FALSE(reply->NameIsUtf8());
}

TEST(ProbeReply, DialectMarkSaysUtf8) {
    const auto reply = ParseProbeReply("198.18.0.2 5001 1555 \xEC\x8B\xA4\xED\x97\x98");
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->NameIsUtf8());
    EXPECT_EQ(reply->rawName, "\xEC\x8B\xA4\xED\x97\x98");
}

TEST(ProbeReply, FieldRules) {
    struct Case {
        const char* text;
        bool accepted;
        const char* name;
    };
    const Case cases[] = {
        {"198.18.0.2 5001 45000", false, ""},     // no space after the third field
        {"198.18.0.2 5001 45000 ", true, ""},     // empty name is fine
        {"198.18.0.2 5001", false, ""},           // too few fields
        {"198.18.0.2  5001 45000 x", false, ""},  // empty second field
        {" 198.18.0.2 5001 45000 x", false, ""},  // empty first field
        {"", false, ""},
        {"a b c d e", true, "d e"},
    };
    for (const Case& c : cases) {
        const auto reply = ParseProbeReply(c.text);
        EXPECT_EQ(reply.has_value(), c.accepted) << c.text;
        if (reply && c.accepted) {
            EXPECT_EQ(reply->rawName, c.name) << c.text;
        }
    }
}

// A long stored name made every 5-byte probe earn a reply of a whole datagram.
TEST(ProbeReply, NameIsCutTo120CharactersOnACharacterBoundary) {
    // Three-byte characters so a plain byte cut would land inside one.
    std::string name;
    for (int i = 0; i < 700; ++i) {
        name += "\xED\x95\x9C";
    }
    auto reply = ParseProbeReply(FormatProbeReply("198.18.0.2", 5001, 45000, name));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->rawName, name.substr(0, 3 * kMaxNameCharacters));

    const std::string ascii(2000, 'n');
    const std::string text = FormatProbeReply("198.18.0.2", 5001, 45000, ascii);
    EXPECT_EQ(text, "198.18.0.2 5001 45000 " + std::string(kMaxNameCharacters, 'n'));

    // Stray continuation bytes still count, so no input makes the reply grow.
    const std::string stray(2000, '\x80');
    EXPECT_LE(FormatProbeReply("198.18.0.2", 5001, 45000, stray).size(),
              22 + 4 * kMaxNameCharacters);
    EXPECT_EQ(CountCharacters("\xED\x95\x9C"
                              "a"),
              2u);
    EXPECT_EQ(LimitCharacters("ab\xED\x95\x9C", 3), "ab\xED\x95\x9C");
    EXPECT_EQ(LimitCharacters("ab\xED\x95\x9C", 2), "ab");
}

// UTF-8 bytes marked "45000" tell the receiver to decode them in its own 8-bit code page.
TEST(ProbeReply, NameThatIsNotPlainAsciiIsMarkedUtf8) {
    const std::string korean = "\xEC\x8B\xA4\xED\x97\x98 PC";
    auto reply = ParseProbeReply(FormatProbeReply("198.18.0.2", 5001, 45000, korean));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->controlPortText, "1555");
    EXPECT_TRUE(reply->NameIsUtf8());
    EXPECT_EQ(reply->rawName, korean);

    reply = ParseProbeReply(FormatProbeReply("198.18.0.2", 5001, 45000, "Lab PC 7"));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->controlPortText, "45000");
    EXPECT_FALSE(reply->NameIsUtf8());
}

TEST(OkReply, FormatAndParse) {
    EXPECT_EQ(FormatOkReply(5001), "ok;5001\r\n");
    EXPECT_EQ(ParseOkReply(FormatOkReply(5001)), 5001);
    EXPECT_EQ(ParseOkReply("ok;0\r\n"), 0);
    EXPECT_EQ(ParseOkReply("ok;12abc"), 12);
    EXPECT_EQ(ParseOkReply("ok;abc"), 0);
    EXPECT_EQ(ParseOkReply("ok"), 0);
    EXPECT_EQ(ParseOkReply("error"), -1);
    EXPECT_EQ(ParseOkReply("OK;5001"), -1);
    EXPECT_EQ(ParseOkReply("ok ;5001"), -1);
    // CR LF is removed wherever it stands.
    EXPECT_EQ(ParseOkReply("o\r\nk;50\r\n01"), 5001);
    // Absurdly long digit runs saturate instead of wrapping into a small port.
    EXPECT_GT(ParseOkReply("ok;99999999999999999999"), 65535);
}

TEST(ClientCommand, BuildsTheConsoleForms) {
    ClientCommand tcp{"198.18.0.3", "1", "310", false, "5.000000m", 4, "", "", ""};
    EXPECT_EQ(BuildClientCommand(tcp), " -c 198.18.0.3 -i 1 -t 310 -w 5.000000m -P 4 -f m");
    tcp.parallel = 1;
    EXPECT_EQ(BuildClientCommand(tcp), " -c 198.18.0.3 -i 1 -t 310 -w 5.000000m -f m");
    tcp.rate.clear();
    EXPECT_EQ(BuildClientCommand(tcp), " -c 198.18.0.3 -i 1 -t 310 -f m");
    ClientCommand udp{"198.18.0.3", "1", "310", true, "10m", 8, "", "", ""};
    EXPECT_EQ(BuildClientCommand(udp), " -c 198.18.0.3 -i 1 -t 310 -u -b 10m -f m");
    EXPECT_EQ(WithCrLf(BuildClientCommand(udp)), BuildClientCommand(udp) + "\r\n");
    // The traffic options before the format, never an MSS for UDP.
    udp.tos = "184";
    udp.length = "200";
    udp.mss = "1000";
    EXPECT_EQ(BuildClientCommand(udp), " -c 198.18.0.3 -i 1 -t 310 -u -b 10m -S 184 -l 200 -f m");
    tcp.mss = "1000";
    EXPECT_EQ(BuildClientCommand(tcp), " -c 198.18.0.3 -i 1 -t 310 -M 1000 -f m");
}

TEST(ClientCommand, ScanFindsWhatTheServerRequestNeeds) {
    const CommandScan tcp =
        ScanCommand(BuildClientCommand({"198.18.0.3", "1", "310", false, "64K", 2, "", "", ""}));
    EXPECT_EQ(tcp.peer, "198.18.0.3");
    EXPECT_EQ(tcp.window, "64K");
    EXPECT_FALSE(tcp.udp);
    EXPECT_EQ(ServerRequestFor(tcp), "server_config -s -f m -i 1 -w 64K\r\n");

    const CommandScan udp = ScanCommand("  -c   198.18.0.4 -u  -b 10m -w 64K -f m\r\n");
    EXPECT_EQ(udp.peer, "198.18.0.4");
    EXPECT_EQ(udp.bandwidth, "10m");
    EXPECT_TRUE(udp.udp);
    // A UDP request never carries the window.
    EXPECT_EQ(ServerRequestFor(udp), "server_config -s -u -f m -i 1\r\n");

    const CommandScan plain = ScanCommand(" -c 198.18.0.5 -i 1 -t 310 -f m");
    EXPECT_EQ(ServerRequestFor(plain), "server_config -s -f m -i 1\r\n");

    // Datagrams the server would cut are announced to it; shorter ones need nothing.
    EXPECT_EQ(ServerRequestFor(ScanCommand(" -c 198.18.0.4 -u -b 1m -l 8000 -f m")),
              "server_config -s -u -f m -i 1 -l 8000\r\n");
    EXPECT_EQ(ServerRequestFor(ScanCommand(" -c 198.18.0.4 -u -b 1m -l 1470 -f m")),
              "server_config -s -u -f m -i 1\r\n");
    EXPECT_EQ(ServerRequestFor(ScanCommand(" -c 198.18.0.4 -l 8000 -f m")),
              "server_config -s -f m -i 1\r\n");
    EXPECT_EQ(ServerRequestFor(ScanCommand(" -c 198.18.0.4 -u -l 8k")),
              "server_config -s -u -f m -i 1\r\n");

    // An option at the end without its value leaves the value empty.
    EXPECT_EQ(ScanCommand(" -w 1M -c").peer, "");
}

}  // namespace
}  // namespace quarn::protocol
