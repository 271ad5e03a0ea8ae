#include "protocol/endpoint_facts.h"

#include <gtest/gtest.h>

#include "protocol/messages.h"
#include "protocol/probe_reply.h"

namespace quarn::protocol {
namespace {

TEST(EndPointFacts, ProbeIsNoHelloForOlderEndPoints) {
    EXPECT_EQ(ClassifyDatagram(kFactsProbe), DatagramKind::Other);
    EXPECT_TRUE(IsFactsProbe("facts"));
    EXPECT_FALSE(IsFactsProbe("facts more"));
    EXPECT_FALSE(IsFactsProbe("fact"));
    EXPECT_FALSE(IsFactsProbe("hello"));
    // An older Console that gets a reply anyway finds no dotted address in it.
    const auto asProbeReply = ParseProbeReply("facts addr=198.18.0.11 if=eth0 mtu=1500");
    EXPECT_TRUE(!asProbeReply || asProbeReply->address == "facts");
}

TEST(EndPointFacts, RepliesReadBackWithEscapedValues) {
    const Facts facts = {{"addr", "198.18.0.11"},
                         {"if", "Ethernet 2=100%"},
                         {"speed", "10000"},
                         {"note", "tab\there"}};
    const std::string reply = FormatFactsReply(facts);
    EXPECT_EQ(reply, "facts addr=198.18.0.11 if=Ethernet%202%3D100%25 speed=10000 note=tab%09here");
    const auto parsed = ParseFactsReply(reply);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, facts);
    EXPECT_EQ(FactValue(*parsed, "if"), "Ethernet 2=100%");
    EXPECT_FALSE(FactValue(*parsed, "duplex"));
}

TEST(EndPointFacts, OddRepliesGiveWhatCanBeRead) {
    EXPECT_FALSE(ParseFactsReply("facts"));
    EXPECT_FALSE(ParseFactsReply("factsaddr=1"));
    EXPECT_FALSE(ParseFactsReply("hello addr=1"));
    const auto parsed = ParseFactsReply("facts  noequals =empty key= a=%4 b=%zz c=%41  ");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, (Facts{{"key", ""}, {"a", "%4"}, {"b", "%zz"}, {"c", "A"}}));

    std::string many = "facts";
    for (int i = 0; i < 100; ++i)
        many += " k" + std::to_string(i) + "=v";
    EXPECT_EQ(ParseFactsReply(many)->size(), kMaxFacts);
    // A long value is cut, so a reply stays within a datagram.
    const std::string value(500, 'x');
    EXPECT_EQ(FormatFactsReply({{"if", value}}).size(),
              std::string("facts if=").size() + kMaxFactValue);
}

TEST(EndPointFacts, TakenOptionsAreTheListedNames) {
    EXPECT_EQ(TakenOptions(kTakenOptions), (std::vector<std::string>{"dscp", "length", "mss"}));
    EXPECT_EQ(TakenOptions(",dscp,,future,"), (std::vector<std::string>{"dscp", "future"}));
    EXPECT_TRUE(TakenOptions("").empty());
}

}  // namespace
}  // namespace quarn::protocol
