#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quarn::platform {

// One argument quoted so that the usual Windows command-line split (CommandLineToArgvW,
// the C runtime's) gives it back unchanged: spaces, tabs, quotes and backslashes included.
std::string QuoteWindowsArgument(std::string_view argument);

// The whole command line of argv, arguments separated by one space.
std::string WindowsCommandLine(const std::vector<std::string>& argv);

}  // namespace quarn::platform
