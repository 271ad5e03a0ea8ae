#include "endpoint/agent/facts_replies.h"

#include <gtest/gtest.h>

#include "protocol/endpoint_facts.h"
#include "protocol/messages.h"

namespace quarn::agent {
namespace {

platform::Adapter Named(const std::string& name, uint32_t address) {
    platform::Adapter adapter;
    adapter.name = name;
    adapter.address = address;
    return adapter;
}

TEST(FactsReplies, OneReplyPerAddressWithWhatItsLinkIs) {
    const LinkReader reader = [](const std::string& name) {
        platform::LinkInfo info;
        if (name == "eth0") {
            info.speedMbps = 1000;
            info.fullDuplex = false;
            info.mtu = 9000;
        } else {
            info.wireless = true;
        }
        return info;
    };
    const std::vector<std::string> replies =
        FactsReplies({Named("eth0", 0xC6120002), Named("wlan0", 0xC0A80105)}, reader);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0],
              "facts addr=198.18.0.2 if=eth0 speed=1000 duplex=half mtu=9000 wireless=0 "
              "takes=dscp,length,mss");
    EXPECT_EQ(replies[1], "facts addr=192.168.1.5 if=wlan0 wireless=1 takes=dscp,length,mss");
    for (const std::string& reply : replies)
        EXPECT_LE(reply.size(), protocol::kMaxDatagram);
    EXPECT_TRUE(FactsReplies({}, reader).empty());
}

}  // namespace
}  // namespace quarn::agent
