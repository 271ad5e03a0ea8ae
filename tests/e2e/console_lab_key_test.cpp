// A lab whose EndPoints share a key: a Console with it measures, one without it or with
// another is refused with a cause that names the key, and no iperf starts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "labkey/key_file.h"
#include "tests/e2e/console_network_test.h"
#include "tests/e2e/console_output.h"
#include "tests/e2e/run_expectations.h"

namespace quarn::e2e {
namespace {

constexpr int kKeyedRunSeconds = 3;

class KeyedLabTest : public EndPointNetworkTest {
  protected:
    void SetUp() override {
        ConsoleNetworkTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        std::string why;
        ASSERT_TRUE(labkey::WriteNewKeyFile(Key(), why)) << why;
        ASSERT_TRUE(labkey::WriteNewKeyFile(OtherKey(), why)) << why;
        for (int host : {2, 3}) {
            StartEndPoint(host, {}, {"--lab-key", Key()});
        }
    }

    std::string Key() const { return keys_.File("lab.key"); }
    std::string OtherKey() const { return keys_.File("other.key"); }

    // A remote pair (End Point 1 on host 2) and a local one (the Console's own host).
    ConsoleResult Run(const std::vector<std::string>& keyArgs) {
        std::vector<std::string> args = {"--pair",     Address(2) + "," + Address(3),
                                         "--pair",     Address(kConsoleHost) + "," + Address(3),
                                         "--duration", std::to_string(kKeyedRunSeconds)};
        args.insert(args.end(), keyArgs.begin(), keyArgs.end());
        return RunConsole(args);
    }

    test_support::TempDir keys_;
};

TEST_F(KeyedLabTest, ConsoleWithTheKeyMeasures) {
    const ConsoleResult run = Run({"--lab-key", Key()});
    ExpectCompletedRun(run, kKeyedRunSeconds);
    ExpectSensiblePair(run, "Pair1", kKeyedRunSeconds);
    ExpectSensiblePair(run, "Pair2", kKeyedRunSeconds);
}

TEST_F(KeyedLabTest, ConsolesWithoutTheKeyOrWithAnotherAreRefused) {
    const ConsoleResult plain = Run({});
    EXPECT_NE(plain.exitCode, 0) << plain.Transcript();
    EXPECT_TRUE(AnyLineContains(plain.lines, "lab key required")) << plain.Transcript();

    const ConsoleResult other = Run({"--lab-key", OtherKey()});
    EXPECT_NE(other.exitCode, 0) << other.Transcript();
    EXPECT_TRUE(AnyLineContains(other.lines, "lab key is not this Console's"))
        << other.Transcript();
}

// A keyed Console's search lists keyed EndPoints as they are and an EndPoint without the
// key as unverified; a Console without a key sees the list as it always did.
TEST_F(KeyedLabTest, SearchMarksRepliesWithoutTheKeysSignature) {
    KillEndPoint(3);
    StartEndPoint(3);  // no key
    const ConsoleResult keyed = RunConsole({"--search", "--lab-key", Key()}, 20000);
    EXPECT_EQ(keyed.exitCode, 0) << keyed.Transcript();
    const auto listed = [](const ConsoleResult& run, const std::string& address) {
        for (const std::string& line : run.lines) {
            if (line.rfind(address + " ", 0) == 0) {
                return line;
            }
        }
        return std::string();
    };
    EXPECT_NE(listed(keyed, Address(2)), "") << keyed.Transcript();
    EXPECT_EQ(listed(keyed, Address(2)).find("(unverified)"), std::string::npos);
    EXPECT_NE(listed(keyed, Address(3)).find("(unverified)"), std::string::npos)
        << keyed.Transcript();

    const ConsoleResult plain = RunConsole({"--search"}, 20000);
    EXPECT_NE(listed(plain, Address(2)), "") << plain.Transcript();
    EXPECT_FALSE(AnyLineContains(plain.lines, "unverified")) << plain.Transcript();
    EXPECT_FALSE(AnyLineContains(plain.lines, "quarn-sig1")) << plain.Transcript();
}

TEST_F(KeyedLabTest, AKeyOthersCanReadIsRefusedBeforeAnything) {
    ASSERT_EQ(chmod(Key().c_str(), 0644), 0);
    const ConsoleResult run = Run({"--lab-key", Key()});
    EXPECT_EQ(run.exitCode, 2) << run.Transcript();
    EXPECT_TRUE(AnyLineContains(run.lines, "others can read")) << run.Transcript();
}

}  // namespace
}  // namespace quarn::e2e
