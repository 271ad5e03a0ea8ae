#include "endpoint/agent/facts_replies.h"

#include <gtest/gtest.h>

#include "address/ip_address.h"
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

// Over IPv6 each interface's announced address in its canonical text, the link as over IPv4.
TEST(FactsReplies, OverIpv6NameEachInterfacesAnnouncedAddress) {
    const LinkReader reader = [](const std::string& name) {
        platform::LinkInfo info;
        if (name == "eth0")
            info.mtu = 1500;
        return info;
    };
    platform::Interface6Address uniqueLocal;
    uniqueLocal.name = "eth0";
    uniqueLocal.address = *ParseIpAddress("fd00:0077:0:0::0002");
    platform::Interface6Address linkLocal;
    linkLocal.name = "eth1";
    linkLocal.address = *ParseIpAddress("fe80::1");
    const std::vector<std::string> replies = FactsReplies6({uniqueLocal, linkLocal}, reader);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0],
              "facts addr=fd00:77::2 if=eth0 mtu=1500 wireless=0 takes=dscp,length,mss");
    EXPECT_EQ(replies[1], "facts addr=fe80::1 if=eth1 wireless=0 takes=dscp,length,mss");
    EXPECT_EQ(protocol::FactValue(*protocol::ParseFactsReply(replies[0]), protocol::kFactAddress),
              "fd00:77::2");
}

}  // namespace
}  // namespace quarn::agent
