#include "platform/command_line_quote.h"

#include <gtest/gtest.h>

namespace quarn::platform {
namespace {

TEST(WindowsQuoting, PlainArgumentsStayAsTheyAre) {
    EXPECT_EQ(QuoteWindowsArgument("-c"), "-c");
    EXPECT_EQ(QuoteWindowsArgument("C:\\Program Files"), "\"C:\\Program Files\"");
    EXPECT_EQ(QuoteWindowsArgument("dir\\sub\\"), "dir\\sub\\");
    EXPECT_EQ(QuoteWindowsArgument(""), "\"\"");
}

TEST(WindowsQuoting, BackslashesDoubleOnlyBeforeAQuote) {
    EXPECT_EQ(QuoteWindowsArgument("say \"hi\""), "\"say \\\"hi\\\"\"");
    EXPECT_EQ(QuoteWindowsArgument("a\\\"b"), "\"a\\\\\\\"b\"");
    // A trailing backslash inside quotes would otherwise escape the closing quote.
    EXPECT_EQ(QuoteWindowsArgument("C:\\dir with space\\"), "\"C:\\dir with space\\\\\"");
    EXPECT_EQ(QuoteWindowsArgument("a\\b c"), "\"a\\b c\"");
}

TEST(WindowsQuoting, CommandLineJoinsWithSpaces) {
    EXPECT_EQ(WindowsCommandLine({"C:\\q\\iperf.exe", "-s", "-p", "5001", "two words"}),
              "C:\\q\\iperf.exe -s -p 5001 \"two words\"");
    EXPECT_EQ(WindowsCommandLine({}), "");
}

}  // namespace
}  // namespace quarn::platform
