#include <gtest/gtest.h>

#include "console/files/config_file.h"
#include "console/files/config_layout.h"
#include "console/files/config_parser.h"
#include "console/files/utf16le.h"
#include "tests/unit/console_files/config_test_support.h"
#include "tests/unit/console_files/legacy_config_parser.h"

namespace quarn::console {
namespace {

std::string SavedSix(ConsoleData& data) {
    test::TempDir dir;
    EXPECT_TRUE(WriteConfigFile(dir.File("six.config"), data).Ok());
    return test::ReadBytes(dir.File("six.config"));
}

std::u16string SixText(const std::string& bytes) {
    return Utf16FromLeBytes(std::string_view(bytes).substr(kConfigHeaderSize));
}

// The measured state with its second pair, an EndPoint and a name over IPv6.
ConsoleData Ipv6State() {
    ConsoleData data = test::MeasuredState();
    data.endPoints.push_back({"fd00:77::2", "5001", "1555", "", "v6-host", "(v6-host"});
    data.nameLookup["fd00:77::2"] = "v6-host";
    data.nameLookup["fe80::3%eth0"] = "linked";
    data.table[2].config.endpoint1 = "fd00:77::2";
    data.table[2].config.endpoint2 = "fe80::3%eth0";
    return data;
}

// IPv6 addresses are kept as their text: one token each, read back as written, and the
// file saved again unchanged.
TEST(ConfigIpv6Test, AddressesRoundTripAsText) {
    ConsoleData data = Ipv6State();
    const std::string bytes = SavedSix(data);
    const std::string text = Utf16ToUtf8(SixText(bytes));
    EXPECT_NE(text.find(" fd00:77::2 fe80::3%eth0 "), std::string::npos) << text;

    ConsoleData read;
    ASSERT_TRUE(ApplyConfigText(SixText(bytes), read));
    EXPECT_EQ(read.table[2].config.endpoint1, "fd00:77::2");
    EXPECT_EQ(read.table[2].config.endpoint2, "fe80::3%eth0");
    EXPECT_EQ(read.table[2].figures.count, 101);
    ASSERT_EQ(read.endPoints.size(), 3u);
    EXPECT_EQ(read.endPoints[2].address, "fd00:77::2");
    EXPECT_EQ(read.endPoints[2].name, "v6-host");
    EXPECT_EQ(read.nameLookup, data.nameLookup);
    EXPECT_EQ(SavedSix(read), bytes);
}

// An older reader takes the IPv6 pair's address tokens as text it cannot connect to; every
// other field, of that row and the others, is read as from the IPv4 file.
TEST(ConfigIpv6Test, AnOlderReaderSeesOnlyAddressesItCannotUse) {
    ConsoleData six = Ipv6State();
    ConsoleData four = test::MeasuredState();
    four.endPoints.push_back({"198.18.9.2", "5001", "1555", "", "v6-host", "(v6-host"});
    four.nameLookup["198.18.9.2"] = "v6-host";
    four.nameLookup["198.18.9.3"] = "linked";
    four.table[2].config.endpoint1 = "198.18.9.2";
    four.table[2].config.endpoint2 = "198.18.9.3";
    ConsoleData olderSix, olderFour;
    legacy::ApplyConfigText(SixText(SavedSix(six)), olderSix);
    legacy::ApplyConfigText(SixText(SavedSix(four)), olderFour);
    ASSERT_EQ(olderSix.table.Size(), olderFour.table.Size());
    EXPECT_EQ(olderSix.table[2].config.endpoint1, "fd00:77::2");
    EXPECT_EQ(olderSix.table[2].config.endpoint2, "fe80::3%eth0");
    olderSix.table[2].config.endpoint1 = "198.18.9.2";
    olderSix.table[2].config.endpoint2 = "198.18.9.3";
    olderSix.endPoints.back().address = "198.18.9.2";
    const auto renamed = [](std::map<std::string, std::string> names) {
        names["198.18.9.2"] = names.at("fd00:77::2");
        names["198.18.9.3"] = names.at("fe80::3%eth0");
        names.erase("fd00:77::2");
        names.erase("fe80::3%eth0");
        return names;
    };
    olderSix.nameLookup = renamed(olderSix.nameLookup);
    EXPECT_EQ(test::DescribeSavedState(olderSix), test::DescribeSavedState(olderFour));
}

}  // namespace
}  // namespace quarn::console
