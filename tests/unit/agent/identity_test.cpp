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

TEST(ProbeReplies, NameIsCutTo120CharactersAndKoreanIsMarkedUtf8) {
    const std::string name(3000, 'n');
    auto replies = ProbeReplies({AdapterAt("eth0", kWired)}, name, 45000);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0], "198.18.0.11 5001 45000 " + std::string(120, 'n'));

    const std::string korean = "\xEC\x8B\x9C\xED\x97\x98 PC";
    replies = ProbeReplies({AdapterAt("eth0", kWired)}, korean, 45000);
    EXPECT_EQ(replies, (std::vector<std::string>{"198.18.0.11 5001 1555 " + korean}));
}

TEST(DisplayName, AtMost120CharactersAreStoredOrUsed) {
    EXPECT_TRUE(IsAcceptableName(std::string(120, 'n')));
    EXPECT_FALSE(IsAcceptableName(std::string(121, 'n')));
    EXPECT_TRUE(NameIsTooLong(std::string(121, 'n')));
    std::string korean;
    for (int i = 0; i < 120; ++i) {
        korean += "\xED\x95\x9C";
    }
    EXPECT_TRUE(IsAcceptableName(korean));  // characters count, not bytes
    EXPECT_FALSE(IsAcceptableName(korean + "x"));

    // A longer name written into the store by hand is used cut to the limit.
    test_support::TempDir dir;
    ASSERT_TRUE(platform::NameStore(dir.Path()).Save(std::string(2000, 'n')));
    EXPECT_EQ(Identity(dir.Path()).InitialName(), std::string(120, 'n'));
}

}  // namespace
}  // namespace quarn::agent
