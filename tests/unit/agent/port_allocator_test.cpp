#include "endpoint/agent/port_allocator.h"

#include <gtest/gtest.h>

namespace quarn::agent {
namespace {

std::set<uint16_t> Range(int first, int last) {
    std::set<uint16_t> ports;
    for (int port = first; port <= last; ++port) {
        ports.insert(static_cast<uint16_t>(port));
    }
    return ports;
}

struct PickCase {
    const char* name;
    int next;
    std::set<uint16_t> busy;
    std::vector<uint16_t> candidates;
    int nextAfter;
};

TEST(PortChoice, PicksUpToThreeFreePortsAndMovesPastThem) {
    const std::vector<PickCase> cases = {
        {"all free", 5001, {}, {5001, 5002, 5003}, 5004},
        {"busy ports skipped", 5001, {5001, 5003}, {5002, 5004, 5005}, 5006},
        {"above 65499 starts again", 65500, {}, {5001, 5002, 5003}, 5004},
        {"65499 still searched", 65499, {}, {65499, 65500, 65501}, 65502},
        {"5001 to 5200 busy", 5001, Range(5001, 5200), {}, 5001},
        {"201st port not searched", 5001, Range(5001, 5199), {5200}, 5201},
        {"never past 65535", 65499, Range(65499, 65534), {65535}, 65536},
        {"nothing at the top", 65499, Range(65499, 65535), {}, 65499},
    };
    for (const PickCase& c : cases) {
        int next = c.next;
        EXPECT_EQ(PickCandidates(next, c.busy), c.candidates) << c.name;
        EXPECT_EQ(next, c.nextAfter) << c.name;
    }
}

TEST(PortChoice, AttemptsFallBackToThePreviousCandidate) {
    const std::vector<uint16_t> none;
    const std::vector<uint16_t> one = {5010};
    const std::vector<uint16_t> two = {5010, 5012};
    for (size_t attempt = 0; attempt < 3; ++attempt) {
        EXPECT_EQ(AttemptPort(none, attempt), 5001);
        EXPECT_EQ(AttemptPort(one, attempt), 5010);
    }
    EXPECT_EQ(AttemptPort(two, 0), 5010);
    EXPECT_EQ(AttemptPort(two, 1), 5012);
    EXPECT_EQ(AttemptPort(two, 2), 5012);
}

TEST(PortChoice, AllocatorReadsTheTableOfTheProtocolAndResets) {
    std::vector<bool> tables;
    PortAllocator allocator([&](bool udp) {
        tables.push_back(udp);
        return udp ? std::set<uint16_t>{5001} : std::set<uint16_t>{};
    });
    EXPECT_EQ(allocator.Choose(true), (std::vector<uint16_t>{5002, 5003, 5004}));
    EXPECT_EQ(allocator.Choose(false), (std::vector<uint16_t>{5005, 5006, 5007}));
    EXPECT_EQ(tables, (std::vector<bool>{true, false}));
    EXPECT_EQ(allocator.Next(), 5008);
    allocator.Reset();
    EXPECT_EQ(allocator.Next(), 5001);
}

}  // namespace
}  // namespace quarn::agent
