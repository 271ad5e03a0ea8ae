#pragma once

#include <cstdio>
#include <string>

#include "console/headless/headless_options.h"

namespace quarn::console {

// Exit statuses of a headless run.
enum HeadlessExit : int { kExitOk = 0, kExitFailed = 1, kExitRefused = 2 };

struct HeadlessEnvironment {
    std::string iperfPath;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
};

// Runs the Console's core without a window: open, search, measure, save, as the options
// say. Returns the exit status.
int RunHeadlessConsole(const HeadlessOptions& options, const HeadlessEnvironment& environment);

}  // namespace quarn::console
