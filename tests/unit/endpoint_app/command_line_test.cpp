#include "endpoint/app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quarn::endpoint_app {
namespace {

struct Parsed {
    std::optional<CommandLine> line;
    std::string error;
};

Parsed Parse(const std::vector<std::string>& args) {
    Parsed parsed;
    parsed.line = ParseCommandLine(args, parsed.error);
    return parsed;
}

TEST(EndPointCommandLine, ChoosesTheAction) {
    const Parsed none = Parse({});
    ASSERT_TRUE(none.line);
    EXPECT_EQ(none.line->action, Action::Run);
    EXPECT_FALSE(none.line->headless);

    const Parsed headless = Parse({"--headless"});
    ASSERT_TRUE(headless.line);
    EXPECT_EQ(headless.line->action, Action::Run);
    EXPECT_TRUE(headless.line->headless);

    EXPECT_EQ(Parse({"--reset-name"}).line->action, Action::ResetName);
    EXPECT_EQ(Parse({"--help"}).line->action, Action::Help);
    EXPECT_EQ(Parse({"-h"}).line->action, Action::Help);
    EXPECT_EQ(Parse({"--version"}).line->action, Action::Version);
}

TEST(EndPointCommandLine, TakesTheNameInBothForms) {
    for (const auto& args : {std::vector<std::string>{"--set-name", "Bench -- One"},
                             std::vector<std::string>{"--set-name=Bench -- One"}}) {
        const Parsed parsed = Parse(args);
        ASSERT_TRUE(parsed.line) << parsed.error;
        EXPECT_EQ(parsed.line->action, Action::SetName);
        EXPECT_EQ(parsed.line->name, "Bench -- One");
    }
    // A single dash is a name's character; "=" keeps even a double dash.
    EXPECT_EQ(Parse({"--set-name", "-lab-"}).line->name, "-lab-");
    EXPECT_EQ(Parse({"--set-name=--lab"}).line->name, "--lab");
}

// An option is never taken as the name: the name would be stored as "--headless".
TEST(EndPointCommandLine, AnOptionIsNotAName) {
    for (const auto& args : {std::vector<std::string>{"--set-name", "--headless"},
                             std::vector<std::string>{"--set-name"},
                             std::vector<std::string>{"--set-name", "--reset-name"}}) {
        const Parsed parsed = Parse(args);
        EXPECT_FALSE(parsed.line) << args.size();
        EXPECT_EQ(parsed.error, "--set-name needs a name");
    }
}

TEST(EndPointCommandLine, ARepeatedOptionIsRefusedByName) {
    const Parsed twice = Parse({"--set-name", "a", "--set-name", "b"});
    EXPECT_FALSE(twice.line);
    EXPECT_EQ(twice.error, "--set-name is given more than once");
    EXPECT_EQ(Parse({"--set-name=a", "--set-name", "b"}).error,
              "--set-name is given more than once");
    EXPECT_EQ(Parse({"--headless", "--headless"}).error, "--headless is given more than once");
    EXPECT_EQ(Parse({"--set-name", "a", "--reset-name"}).error,
              "--set-name and --reset-name cannot be given together");
    EXPECT_EQ(Parse({"--help", "--version"}).error,
              "--help and --version cannot be given together");
}

TEST(EndPointCommandLine, RefusesWhatItDoesNotKnow) {
    const Parsed unknown = Parse({"--headles"});
    EXPECT_FALSE(unknown.line);
    EXPECT_EQ(unknown.error, "unknown option --headles");
    EXPECT_FALSE(Parse({"Bench"}).line);
    EXPECT_FALSE(Parse({"--headless=yes"}).line);
}

}  // namespace
}  // namespace quarn::endpoint_app
