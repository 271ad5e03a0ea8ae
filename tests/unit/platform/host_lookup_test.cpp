#include "platform/host_lookup.h"

#include <gtest/gtest.h>

namespace quarn::platform {
namespace {

using std::chrono::milliseconds;

// Only names the local hosts file answers: no query leaves the machine.
TEST(HostLookup, LocalhostIsOneLoopbackAddress) {
    const std::vector<std::uint32_t> found = LookUpIpv4("localhost", milliseconds(2000));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found.front(), 0x7F000001u);
}

TEST(HostLookup, DottedTextAndEmptyNames) {
    const std::vector<std::uint32_t> found = LookUpIpv4("198.18.0.7", milliseconds(2000));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found.front(), 0xC6120007u);
    EXPECT_TRUE(LookUpIpv4("", milliseconds(2000)).empty());
}

}  // namespace
}  // namespace quarn::platform
