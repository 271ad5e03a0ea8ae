#include "endpoint/agent/identity.h"

#include <gtest/gtest.h>

#include "endpoint/agent/discovery_responder.h"
#include "platform/name_store.h"
#include "protocol/messages.h"
#include "protocol/probe_reply.h"
#include "tests/support/temp_dir.h"

namespace quarn::agent {
namespace {

platform::Adapter AdapterAt(const std::string& name, uint32_t address) {
    return {name, address, 0xFFFFFF00, (address & 0xFFFFFF00) | 0xFF};
}

const uint32_t kWired = 0xC612000B;     // 198.18.0.11
const uint32_t kWireless = 0xC613000B;  // 198.19.0.11

TEST(AddressText, PrimaryFirstThenTheOtherAdapters) {
    const std::vector<platform::Adapter> both = {AdapterAt("eth0", kWired),
                                                 AdapterAt("wlan0", kWireless)};
    EXPECT_EQ(FormatAddressText(std::nullopt, {}), "0.0.0.0");
    EXPECT_EQ(FormatAddressText(kWired, both), "198.18.0.11 / 198.19.0.11");
    EXPECT_EQ(FormatAddressText(kWireless, both), "198.19.0.11 / 198.18.0.11");
    EXPECT_EQ(FormatAddressText(std::nullopt, both), "0.0.0.0 / 198.18.0.11 / 198.19.0.11");
}

TEST(DisplayName, AcceptsTextAndRejectsWhatWouldBreakLines) {
    EXPECT_TRUE(IsAcceptableName("Lab PC 7"));
    EXPECT_TRUE(IsAcceptableName("\xEC\x8B\xA4\xED\x97\x98\xEC\x8B\xA4"));  // Korean
    EXPECT_FALSE(IsAcceptableName(""));
    EXPECT_FALSE(IsAcceptableName("two\nlines"));
    EXPECT_FALSE(IsAcceptableName("tab\there"));
    EXPECT_FALSE(IsAcceptableName("bad \xFF byte"));
}

TEST(DisplayName, FollowsTheStoreAndFallsBackToTheComputerName) {
    test_support::TempDir dir;
    Identity identity(dir.Path());
    EXPECT_EQ(identity.InitialName(), platform::ComputerName());
    EXPECT_FALSE(identity.StoredNameChange());

    ASSERT_TRUE(identity.Save("Bench A"));
    EXPECT_FALSE(identity.StoredNameChange()) << "our own save is not a change";

    // Another process (Quarn_EndPoint --set-name) stores a name.
    ASSERT_TRUE(platform::NameStore(dir.Path()).Save("Bench B"));
    EXPECT_EQ(identity.StoredNameChange(), "Bench B");
    EXPECT_FALSE(identity.StoredNameChange());

    EXPECT_EQ(identity.Reset(), platform::ComputerName());
    EXPECT_FALSE(platform::NameStore(dir.Path()).Load());
    EXPECT_EQ(Identity(dir.Path()).InitialName(), platform::ComputerName());
}

TEST(ProbeReplies, OneReplyPerAdapterWithTheWholeName) {
    const auto replies =
        ProbeReplies({AdapterAt("eth0", kWired), AdapterAt("wlan0", kWireless)}, "Lab PC 7", 45000);
    EXPECT_EQ(replies, (std::vector<std::string>{"198.18.0.11 5001 45000 Lab PC 7",
                                                 "198.19.0.11 5001 45000 Lab PC 7"}));
    EXPECT_TRUE(ProbeReplies({}, "Lab PC 7", 45000).empty());
}

TEST(ProbeReplies, OverlongNameIsShortenedToFitOneDatagram) {
    const std::string name(3000, 'n');
    const auto replies = ProbeReplies({AdapterAt("eth0", kWired)}, name, 45000);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_LE(replies[0].size(), protocol::kMaxDatagram);
    const auto parsed = protocol::ParseProbeReply(replies[0]);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->address, "198.18.0.11");
    EXPECT_EQ(parsed->rawName, name.substr(0, parsed->rawName.size()));
    EXPECT_GT(parsed->rawName.size(), 1400u);
}

}  // namespace
}  // namespace quarn::agent
