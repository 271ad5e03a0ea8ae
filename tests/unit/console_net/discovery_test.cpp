#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "address/ip_address.h"
#include "address/ipv4.h"
#include "console/net/broadcast_targets.h"
#include "console/net/endpoint_collector.h"
#include "console/net/endpoint_search.h"
#include "console/net/restart_broadcast.h"
#include "labkey/lab_key.h"
#include "platform/text_encoding.h"
#include "protocol/auth_messages.h"
#include "tests/unit/console_net/loopback_peer.h"

namespace quarn::console {
namespace {

using testing::kLoopback;
using testing::LoopbackOptions;
using testing::LoopbackResponder;

const std::string kKoreanName = "\xEC\x84\x9C\xEC\x9A\xB8 \xEB\x8B\xA8\xEB\xA7\x90";  // two words

TEST(EndPointCollector, KeepsTheFirstReplyPerAddressAndDecodesNames) {
    EndPointCollector collector;
    EXPECT_TRUE(collector.Add("198.18.0.2 5001 45000 lab pc 1"));
    EXPECT_FALSE(collector.Add("198.18.0.2 5001 45000 another name"));
    EXPECT_TRUE(collector.Add("198.18.0.3 5001 1555 " + kKoreanName));
    EXPECT_TRUE(collector.Add("198.18.0.4 5001 45000 "));  // empty name, as sent
    EXPECT_TRUE(collector.Add("198.18.0.5 5001 1555 bad\xC3(name\xFF"));

    const std::vector<EndPointEntry>& entries = collector.Entries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].address, "198.18.0.2");
    EXPECT_EQ(entries[0].iperfPortText, "5001");
    EXPECT_EQ(entries[0].controlPortText, "45000");
    EXPECT_EQ(entries[0].rawName, "lab pc 1");
    EXPECT_EQ(entries[0].name, "lab pc 1");
    EXPECT_EQ(entries[0].label, "(lab pc 1");
    EXPECT_EQ(entries[1].name, kKoreanName);
    EXPECT_EQ(entries[1].label, "(" + kKoreanName);
    EXPECT_EQ(entries[2].name, "");
    EXPECT_EQ(entries[2].label, "");
    EXPECT_TRUE(platform::IsValidUtf8(entries[3].name));  // claimed UTF-8 but was not
}

// An EndPoint on Windows sends a Korean name in its code page, marked "45000"; read in our
// UTF-8 locale those bytes are not text at all.
TEST(EndPointCollector, NameInAWindowsCodePageIsDecodedAsKorean) {
    EndPointCollector collector;
    EXPECT_TRUE(collector.Add("198.18.0.2 5001 45000 \xBD\xC3\xC7\xE8 PC"));
    EXPECT_TRUE(collector.Add("198.18.0.3 5001 45000 \xEC\x8B\x9C\xED\x97\x98 PC"));
    EXPECT_TRUE(collector.Add("198.18.0.4 5001 45000 \xFF\xFF"));  // neither
    const std::vector<EndPointEntry>& entries = collector.Entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "\xEC\x8B\x9C\xED\x97\x98 PC");
    EXPECT_EQ(entries[0].rawName, "\xBD\xC3\xC7\xE8 PC");
    // Valid in our own character set: taken as it is.
    EXPECT_EQ(entries[1].name, "\xEC\x8B\x9C\xED\x97\x98 PC");
    EXPECT_TRUE(platform::IsValidUtf8(entries[2].name));
}

TEST(EndPointCollector, DropsIncompleteAndUnsafeReplies) {
    EndPointCollector collector;
    for (const char* reply : {"198.18.0.2 5001 45000",  // third field without its space
                              "198.18.0.2 5001", "198.18.0.2", "", " 5001 45000 name",
                              "198.18.0.2  45000 name", "pc-name 5001 45000 name",
                              "198.18.0.256 5001 45000 name", "198.18.0.2\r\n 5001 45000 x"}) {
        EXPECT_FALSE(collector.Add(reply)) << reply;
    }
    EXPECT_TRUE(collector.Entries().empty());
}

// A host answering with made-up addresses fills the list up to its bound, no further; the
// addresses already listed still answer as duplicates.
TEST(EndPointCollector, HoldsAtMostItsBound) {
    EndPointCollector collector;
    int added = 0;
    for (uint32_t host = 0; host < 3000; ++host) {
        const std::string address =
            "10.0." + std::to_string(host / 256) + "." + std::to_string(host % 256);
        added += collector.Add(address + " 5001 45000 fake") ? 1 : 0;
        EXPECT_FALSE(collector.Add(address + " 5001 45000 again"));
    }
    EXPECT_EQ(added, static_cast<int>(EndPointCollector::kMaxEntries));
    EXPECT_EQ(collector.Entries().size(), EndPointCollector::kMaxEntries);
    EXPECT_EQ(collector.Entries().back().address, "10.0.3.255");
    // A new search starts empty.
    EXPECT_EQ(collector.Take().size(), EndPointCollector::kMaxEntries);
    EXPECT_TRUE(collector.Add("10.0.0.0 5001 45000 fake"));
}

std::string Signature(const labkey::LabKey& key, const std::string& nonce,
                      const std::string& reply) {
    const std::string tag = labkey::ToHex(key.Tag(protocol::ReplyTagInput(nonce, reply)));
    return protocol::FormatReplySignature(reply.substr(0, reply.find(' ')), tag);
}

// With a key, a reply counts as verified only with the signature of a keyed EndPoint over
// this search's nonce, and a reply that claims another host's address is dropped.
TEST(EndPointCollector, SignedSearchVerifiesRepliesAndDropsImpostors) {
    const labkey::LabKey key = labkey::LabKey::Generate();
    const std::string nonce(32, 'd');
    EndPointCollector collector(EndPointCollector::Signed{key, nonce});
    const auto from = [](const char* address) { return ParseIpv4(address).value(); };

    const std::string real = "198.18.0.12 5001 45000 bench";
    EXPECT_TRUE(collector.Add(real, from("198.18.0.12")));
    EXPECT_FALSE(collector.Add(Signature(key, nonce, real), from("198.18.0.12")));
    // Another host speaking for an address that is not its own.
    EXPECT_FALSE(collector.Add("198.18.0.13 5001 45000 fake", from("198.18.0.99")));
    EXPECT_TRUE(collector.Add("198.18.0.14 5001 45000 unsigned", from("198.18.0.14")));
    const std::string otherKey = "198.18.0.15 5001 45000 other lab";
    EXPECT_TRUE(collector.Add(otherKey, from("198.18.0.15")));
    collector.Add(Signature(labkey::LabKey::Generate(), nonce, otherKey), from("198.18.0.15"));
    const std::string stale = "198.18.0.16 5001 45000 replayed";
    EXPECT_TRUE(collector.Add(stale, from("198.18.0.16")));
    collector.Add(Signature(key, std::string(32, 'e'), stale), from("198.18.0.16"));
    // A signature sent by another host than the one it names counts for nothing.
    const std::string borrowed = "198.18.0.17 5001 45000 borrowed";
    EXPECT_TRUE(collector.Add(borrowed, from("198.18.0.17")));
    collector.Add(Signature(key, nonce, borrowed), from("198.18.0.18"));

    const std::vector<EndPointEntry> entries = collector.Take();
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].address, "198.18.0.12");
    EXPECT_FALSE(entries[0].unverified);
    for (size_t i = 1; i < entries.size(); ++i) {
        EXPECT_TRUE(entries[i].unverified) << entries[i].address;
    }
}

// Over IPv6 a neighbour answers the all-nodes group from its link-local address whatever
// it announces; the signature, not the source, decides. An IPv4 address or another
// host's global source is still no IPv6 neighbour's to claim.
TEST(EndPointCollector, SignedSearchOverIpv6TakesRepliesFromLinkLocalSources) {
    const labkey::LabKey key = labkey::LabKey::Generate();
    const std::string nonce(32, 'd');
    EndPointCollector collector(EndPointCollector::Signed{key, nonce});
    const IpAddress linkLocal = ParseIpAddress("fe80::77:12%eth0").value();
    const std::string real = "fd00:77::12 5001 45000 bench";
    EXPECT_TRUE(collector.Add(real, linkLocal));
    EXPECT_FALSE(collector.Add(Signature(key, nonce, real), linkLocal));
    const std::string onlyLinkLocal = "fe80::77:13 5001 45000 second";
    const IpAddress second = ParseIpAddress("fe80::77:13%eth0").value();
    EXPECT_TRUE(collector.Add(onlyLinkLocal, second));
    EXPECT_FALSE(collector.Add(Signature(key, nonce, onlyLinkLocal), second));
    EXPECT_FALSE(collector.Add("198.18.0.14 5001 45000 four", linkLocal));
    EXPECT_FALSE(
        collector.Add("fd00:77::15 5001 45000 far", ParseIpAddress("fd00:77::99").value()));
    const std::string unsignedReply = "fd00:77::16 5001 45000 unsigned";
    EXPECT_TRUE(collector.Add(unsignedReply, ParseIpAddress("fe80::77:16%eth0").value()));

    const std::vector<EndPointEntry> entries = collector.Take();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].address, "fd00:77::12");
    EXPECT_FALSE(entries[0].unverified);
    EXPECT_EQ(entries[1].address, "fe80::77:13%eth0");
    EXPECT_FALSE(entries[1].unverified);
    EXPECT_EQ(entries[2].address, "fd00:77::16");
    EXPECT_TRUE(entries[2].unverified);
}

// Without a key nothing changes: the announced address need not be the source (an
// EndPoint answers for each of its addresses from one socket), and nothing is unverified.
TEST(EndPointCollector, UnsignedSearchKeepsRepliesFromOtherSources) {
    EndPointCollector collector;
    EXPECT_TRUE(collector.Add("198.18.0.13 5001 45000 second address", 0xC6120063));
    EXPECT_FALSE(collector.Add("quarn-sig1 198.18.0.13 " + std::string(64, 'a'), 0xC612000D));
    const std::vector<EndPointEntry> entries = collector.Take();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_FALSE(entries[0].unverified);
}

TEST(BroadcastTargets, NamedInterfacesNeverFallBackToTheLimitedBroadcast) {
    DiscoveryOptions loopbackOnly;
    loopbackOnly.interfaces = {"lo"};
    EXPECT_EQ(BroadcastTargets(loopbackOnly), std::vector<uint32_t>{0x7FFFFFFFu});

    DiscoveryOptions missing;
    missing.interfaces = {"quarn-none0"};
    EXPECT_TRUE(BroadcastTargets(missing).empty());

    DiscoveryOptions direct;
    direct.interfaces = {"lo"};
    direct.destinations = {kLoopback};
    EXPECT_EQ(BroadcastTargets(direct), std::vector<uint32_t>{kLoopback});
}

TEST(SearchEndPoints, CollectsRepliesOnLoopbackOncePerAddress) {
    LoopbackResponder responder({"127.0.0.1 5001 45000 first", "127.0.0.1 5001 45000 second",
                                 "198.18.0.9 5001 1555 " + kKoreanName, "198.18.0.10 5001 45000"});
    std::vector<EndPointEntry> found = SearchEndPoints(LoopbackOptions(responder));

    EXPECT_EQ(responder.Probes(), 3);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].address, "127.0.0.1");
    EXPECT_EQ(found[0].name, "first");
    EXPECT_EQ(found[1].address, "198.18.0.9");
    EXPECT_EQ(found[1].name, kKoreanName);
}

TEST(BroadcastRestart, SendsRestartThreeTimesPerTarget) {
    LoopbackResponder responder({});
    DiscoveryOptions options = LoopbackOptions(responder);
    options.destinations = {kLoopback, kLoopback};  // two targets
    BroadcastRestart(options);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (responder.Restarts() < 6 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // room for a stray extra
    EXPECT_EQ(responder.Restarts(), 6);
    EXPECT_EQ(responder.Probes(), 0);
}

}  // namespace
}  // namespace quarn::console
