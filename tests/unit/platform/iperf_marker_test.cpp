#include "platform/iperf_marker.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/child_process.h"
#include "tests/support/fake_iperf.h"

namespace quarn::platform {
namespace {

namespace fs = std::filesystem;

TEST(IperfMarker, EnvironmentEntryNamesRoleAndOwner) {
    const std::string entry = OwnerMarkerEnv("endpoint");
    EXPECT_EQ(entry, "QUARN_IPERF_OWNER=endpoint:" + std::to_string(getpid()));
    EXPECT_EQ(MarkerOwner("endpoint:" + std::to_string(getpid()), "endpoint"), getpid());
    for (const char* bad : {"console:12", "endpoint:", "endpoint:12x", "endpoint12", "endpoint:-3",
                            "endpointx:12", ""}) {
        EXPECT_FALSE(MarkerOwner(bad, "endpoint")) << bad;
    }
}

TEST(IperfMarker, StrayDecision) {
    struct Case {
        pid_t ppid;
        std::optional<std::string> marker;
        bool stray;
    };
    const Case cases[] = {
        {500, "endpoint:500", false},  // its owner is alive and still its parent
        {1, "endpoint:500", true},     // owner died, re-parented to init
        {77, "endpoint:500", true},    // re-parented to a subreaper
        {1, std::nullopt, false},      // not ours: never touched
        {1, "console:500", false},     // another role's process
        {1, "endpoint:abc", false},    // malformed marker
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsStray({4242, c.ppid, "/usr/bin/iperf"}, c.marker, "endpoint"), c.stray)
            << c.ppid << " " << c.marker.value_or("(none)");
    }
}

// A private copy of the iperf stand-in that runs for 30 s, so nothing else on
// the machine matches its path.
class IperfSweep : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(fake_.Path()));
        dir_ = fake_.Folder();
        iperf_ = fake_.Path();
        fs::create_symlink(iperf_, dir_ + "/link");
    }

    test_support::PrivateFakeIperf fake_{"* *: sleep 30000"};

    ChildProcess StartSleeper(const std::string& program, std::vector<std::string> env) {
        ChildProcess child;
        EXPECT_TRUE(child.Start({program, "30"}, env));
        return child;
    }

    // A shell that starts the iperf stand-in and exits: the orphan keeps our marker. Its
    // pid once it runs the stand-in, 0 when it never did.
    pid_t StartOrphan() {
        ChildProcess shell;
        EXPECT_TRUE(shell.Start({"/bin/sh", "-c", iperf_ + " 30 >/dev/null 2>&1 & echo $!"},
                                {OwnerMarkerEnv("endpoint")}));
        std::string output;
        char buffer[32];
        while (shell.WaitForOutputOrExit(2000) || !shell.Exited()) {
            const long got = shell.ReadAvailable(buffer, sizeof buffer);
            if (got > 0) {
                output.append(buffer, static_cast<size_t>(got));
            }
        }
        long got;
        while ((got = shell.ReadAvailable(buffer, sizeof buffer)) > 0) {
            output.append(buffer, static_cast<size_t>(got));
        }
        const pid_t orphan = static_cast<pid_t>(std::stol(output));
        // The background child may not have reached its exec yet.
        bool running = false;
        for (int i = 0; i < 100 && !running; ++i) {
            const auto info = ReadProcessInfo(orphan);
            running = info && info->exePath == fs::canonical(iperf_).string();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return running ? orphan : 0;
    }

    std::string dir_;
    std::string iperf_;
};

TEST_F(IperfSweep, KillOwnChildrenTakesOnlyMarkedChildrenOfThisPath) {
    ChildProcess own = StartSleeper(iperf_, {OwnerMarkerEnv("endpoint")});
    ChildProcess unmarked = StartSleeper(iperf_, {});
    ChildProcess otherRole = StartSleeper(iperf_, {OwnerMarkerEnv("console")});
    ChildProcess otherPath = StartSleeper("/bin/sleep", {OwnerMarkerEnv("endpoint")});
    // The symlink resolves to the same program.
    EXPECT_EQ(KillOwnChildren(dir_ + "/link", "endpoint"), 1);
    EXPECT_TRUE(own.WaitExit(2000));
    EXPECT_FALSE(unmarked.Exited());
    EXPECT_FALSE(otherRole.Exited());
    EXPECT_FALSE(otherPath.Exited());
    EXPECT_EQ(KillOwnChildren(dir_ + "/missing", "endpoint"), 0);
}

TEST_F(IperfSweep, KillStraysTakesOrphansButNotLiveOwnersChildren) {
    ChildProcess live = StartSleeper(iperf_, {OwnerMarkerEnv("endpoint")});
    ChildProcess unmarked = StartSleeper(iperf_, {});
    const pid_t orphan = StartOrphan();
    ASSERT_GT(orphan, 0);

    EXPECT_EQ(KillStrays(iperf_, "endpoint"), 1);
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i) {
        const auto info = ReadProcessInfo(orphan);
        gone = !info || info->exePath.empty();  // gone, or a zombie awaiting its reaper
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(gone);
    if (!gone) {
        kill(orphan, SIGKILL);
    }
    EXPECT_FALSE(live.Exited());
    EXPECT_FALSE(unmarked.Exited());
}

// A restart takes both kinds in one walk of the process table.
TEST_F(IperfSweep, KillOwnChildrenAndStraysTakesBothAndNothingElse) {
    ChildProcess own = StartSleeper(iperf_, {OwnerMarkerEnv("endpoint")});
    ChildProcess unmarked = StartSleeper(iperf_, {});
    ChildProcess otherRole = StartSleeper(iperf_, {OwnerMarkerEnv("console")});
    const pid_t orphan = StartOrphan();
    ASSERT_GT(orphan, 0);
    EXPECT_EQ(KillOwnChildrenAndStrays(iperf_, "endpoint"), 2);
    EXPECT_TRUE(own.WaitExit(2000));
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i) {
        const auto info = ReadProcessInfo(orphan);
        gone = !info || info->exePath.empty();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(gone);
    if (!gone) {
        kill(orphan, SIGKILL);
    }
    EXPECT_FALSE(unmarked.Exited());
    EXPECT_FALSE(otherRole.Exited());
    EXPECT_EQ(KillOwnChildrenAndStrays(iperf_, "endpoint"), 0);
}

}  // namespace
}  // namespace quarn::platform
