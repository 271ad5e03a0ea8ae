#include "console/core/address_entry.h"

#include <gtest/gtest.h>

#include <map>

namespace quarn::console {
namespace {

// A resolver with a fixed table that counts its calls; nothing leaves the process.
struct TableLookup {
    std::map<std::string, std::vector<std::uint32_t>> names;
    int calls = 0;

    HostLookup Function() {
        return [this](const std::string& name) {
            ++calls;
            const auto found = names.find(name);
            return found == names.end() ? std::vector<std::uint32_t>{} : found->second;
        };
    }
};

TEST(AddressEntry, DottedAddressesAreTakenWithoutAskingTheResolver) {
    TableLookup lookup;
    const AddressEntry entry = CheckAddressEntry("198.19.99.30", lookup.Function());
    EXPECT_TRUE(entry.accepted);
    EXPECT_EQ(entry.address, "198.19.99.30");
    EXPECT_TRUE(entry.label.empty());
    EXPECT_EQ(lookup.calls, 0);
}

TEST(AddressEntry, MalformedAddressesAreRefusedWithoutAskingTheResolver) {
    TableLookup lookup;
    for (const char* text : {"198.19.99.300", "198.19.99", "1.2.3.4.5", "198.19..1", "", " ",
                             "lab pc", "-lab", "lab-", "lab_pc", "a..b", "198.19.99.30:80"}) {
        const AddressEntry entry = CheckAddressEntry(text, lookup.Function());
        EXPECT_FALSE(entry.accepted) << text;
        EXPECT_FALSE(entry.refusal.empty()) << text;
        EXPECT_TRUE(entry.address.empty()) << text;
    }
    EXPECT_EQ(lookup.calls, 0);
    EXPECT_EQ(CheckAddressEntry("198.19.99.300", nullptr).refusal,
              "Not an IPv4 address: 198.19.99.300");
}

TEST(AddressEntry, Ipv6AddressesAreKeptInTheirCanonicalText) {
    TableLookup lookup;
    for (const auto& [typed, kept] : std::map<std::string, std::string>{
             {"FD00:0077:0000:0000:0000:0000:0000:0002", "fd00:77::2"},
             {"[fd00:77::2]", "fd00:77::2"},
             {"fe80::1%veth0", "fe80::1%veth0"}}) {
        const AddressEntry entry = CheckAddressEntry(typed, lookup.Function());
        EXPECT_TRUE(entry.accepted) << typed;
        EXPECT_EQ(entry.address, kept) << typed;
        EXPECT_TRUE(entry.label.empty()) << typed;
    }
    EXPECT_EQ(lookup.calls, 0);
}

// An EndPoint aims iperf at no mapped address: the pair keeps the IPv4 address it stands for.
TEST(AddressEntry, AnIpv4MappedAddressIsTakenAsItsIpv4Address) {
    for (const char* typed :
         {"::ffff:198.19.99.30", "[::FFFF:c613:631e]", "0:0:0:0:0:ffff:198.19.99.30"}) {
        const AddressEntry entry = CheckAddressEntry(typed, nullptr);
        EXPECT_TRUE(entry.accepted) << typed;
        EXPECT_EQ(entry.address, "198.19.99.30") << typed;
    }
    // Not mapped: the IPv4-compatible form and a mapped prefix elsewhere stay IPv6.
    EXPECT_EQ(CheckAddressEntry("fd00::ffff:198.19.99.30", nullptr).address,
              "fd00::ffff:c613:631e");
}

TEST(AddressEntry, MalformedIpv6AddressesGetTheIpv6Hint) {
    TableLookup lookup;
    for (const char* text : {"fd00:77::2::3", "fd00:77:0:0:0:0:0:2:9", "fd00:77::g", "[fd00::2",
                             "[fd00::2]:45000", "fd00:00077::2", "fd00::2%"}) {
        const AddressEntry entry = CheckAddressEntry(text, lookup.Function());
        EXPECT_FALSE(entry.accepted) << text;
        EXPECT_EQ(entry.refusal, std::string("Not an IPv6 address: ") + text);
    }
    EXPECT_EQ(lookup.calls, 0);
    EXPECT_EQ(CheckAddressEntry("198.19.99.30:80", nullptr).refusal,
              "Not an IPv4 address: 198.19.99.30:80");
}

TEST(AddressEntry, AHostNameNeedsExactlyOneAddress) {
    TableLookup lookup;
    lookup.names["lab-pc-4"] = {0xC6136304};              // 198.19.99.4
    lookup.names["twin.lab"] = {0xC6136305, 0xC6136306};  // two addresses
    const AddressEntry one = CheckAddressEntry("lab-pc-4", lookup.Function());
    EXPECT_TRUE(one.accepted);
    EXPECT_EQ(one.address, "198.19.99.4");
    EXPECT_EQ(one.label, "lab-pc-4");

    const AddressEntry two = CheckAddressEntry("twin.lab", lookup.Function());
    EXPECT_FALSE(two.accepted);
    EXPECT_EQ(two.refusal, "twin.lab has more than one address.");

    const AddressEntry none = CheckAddressEntry("lab-pc-5", lookup.Function());
    EXPECT_FALSE(none.accepted);
    EXPECT_EQ(none.refusal, "Unknown host: lab-pc-5");
    EXPECT_EQ(lookup.calls, 3);
    // Without a resolver a name is simply unknown.
    EXPECT_FALSE(CheckAddressEntry("lab-pc-4", nullptr).accepted);
}

TEST(AddressEntry, HostNameShape) {
    EXPECT_TRUE(IsHostName("localhost"));
    EXPECT_TRUE(IsHostName("lab-pc-4.example.org"));
    EXPECT_TRUE(IsHostName("4lab"));
    EXPECT_FALSE(IsHostName("198.19.99.300"));  // digits and dots: a mistyped address
    EXPECT_FALSE(IsHostName(std::string(64, 'a')));
    EXPECT_TRUE(IsHostName(std::string(63, 'a')));
    std::string longName;
    for (int i = 0; i < 64; ++i)
        longName += "abc.";
    longName += "d";  // 257 characters
    EXPECT_FALSE(IsHostName(longName));
    EXPECT_FALSE(IsHostName("lab.pc."));
}

}  // namespace
}  // namespace quarn::console
