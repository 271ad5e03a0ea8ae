#include "platform/program_arguments.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/windows_text.h"

namespace quarn::platform {

std::vector<std::string> ProgramArguments(int /*argc*/, char** /*argv*/) {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return arguments;
    }
    for (int i = 1; i < count; ++i) {
        arguments.push_back(Narrow(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

}  // namespace quarn::platform
