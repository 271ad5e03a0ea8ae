#pragma once

#include <string>
#include <vector>

namespace quarn::platform {

// The program's arguments after its name, as UTF-8. Windows passes main() its arguments
// in the ANSI code page, losing what it cannot hold, so there they come from the wide
// command line instead.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace quarn::platform
