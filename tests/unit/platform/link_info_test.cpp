#include "platform/link_info.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/temp_dir.h"

namespace quarn::platform {
namespace {

void Write(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

TEST(LinkInfo, ReadsSpeedDuplexMtuAndWirelessFromTheClassNetTree) {
    test_support::TempDir dir;
    const std::string root = dir.Path();
    std::filesystem::create_directories(root + "/veth1");
    Write(root + "/veth1/speed", "10000\n");
    Write(root + "/veth1/duplex", "full\n");
    Write(root + "/veth1/mtu", "1500\n");
    std::filesystem::create_directories(root + "/wlan0/wireless");
    Write(root + "/wlan0/speed", "-1\n");  // no link
    Write(root + "/wlan0/duplex", "unknown\n");
    Write(root + "/wlan0/mtu", "1500\n");
    std::filesystem::create_directories(root + "/eth9");
    Write(root + "/eth9/duplex", "half\n");
    Write(root + "/eth9/mtu", "15x0\n");

    const LinkInfo veth = ReadLinkInfoFrom(root, "veth1");
    EXPECT_EQ(veth.speedMbps, 10000);
    EXPECT_EQ(veth.fullDuplex, true);
    EXPECT_EQ(veth.mtu, 1500);
    EXPECT_FALSE(veth.wireless);
    const LinkInfo wifi = ReadLinkInfoFrom(root, "wlan0");
    EXPECT_FALSE(wifi.speedMbps);
    EXPECT_FALSE(wifi.fullDuplex);
    EXPECT_TRUE(wifi.wireless);
    const LinkInfo odd = ReadLinkInfoFrom(root, "eth9");
    EXPECT_FALSE(odd.speedMbps);  // unreadable
    EXPECT_EQ(odd.fullDuplex, false);
    EXPECT_FALSE(odd.mtu);
    for (const char* name : {"", "..", "../veth1", "none"}) {
        const LinkInfo nothing = ReadLinkInfoFrom(root + "/veth1", name);
        EXPECT_FALSE(nothing.speedMbps || nothing.mtu) << name;
    }
}

TEST(LinkInfo, LoopbackHasAnMtu) {
    EXPECT_TRUE(ReadLinkInfo("lo").mtu.has_value());
}

}  // namespace
}  // namespace quarn::platform
