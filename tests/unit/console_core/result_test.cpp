#include "console/core/outcome.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace quarn::console {
namespace {

Result<int> Half(int value) {
    if (value % 2 != 0)
        return WhyNot{std::to_string(value) + " is odd"};
    return value / 2;
}

TEST(ResultTest, AValueOrWhyNot) {
    const Result<int> half = Half(8);
    ASSERT_TRUE(half.Ok());
    EXPECT_TRUE(static_cast<bool>(half));
    EXPECT_EQ(*half, 4);
    EXPECT_EQ(half.Why(), "");

    const Result<int> odd = Half(7);
    EXPECT_FALSE(odd.Ok());
    EXPECT_FALSE(static_cast<bool>(odd));
    EXPECT_EQ(odd.Why(), "7 is odd");
    EXPECT_EQ(Result<int>::Failed("no").Why(), "no");
}

// A value that cannot be copied moves through, and members are reached through it.
TEST(ResultTest, HoldsMoveOnlyValues) {
    Result<std::unique_ptr<std::string>> made = std::make_unique<std::string>("run");
    ASSERT_TRUE(made);
    EXPECT_EQ(made->get()->size(), 3u);
    const std::unique_ptr<std::string> taken = std::move(made).Value();
    EXPECT_EQ(*taken, "run");
}

TEST(ResultTest, AnOutcomeIsDoneOrSaysWhy) {
    EXPECT_TRUE(Outcome::Done().Ok());
    EXPECT_EQ(Outcome::Done().Why(), "");
    const Outcome failed = WhyNot{"Cannot open the file: x"};
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.Why(), "Cannot open the file: x");
    EXPECT_EQ(Outcome::Failed("no").Why(), "no");
}

}  // namespace
}  // namespace quarn::console
