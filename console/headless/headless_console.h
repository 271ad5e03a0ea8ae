#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "console/core/console_data.h"
#include "console/core/outcome.h"
#include "console/headless/headless_options.h"
#include "console/records/run_report.h"
#include "labkey/lab_key.h"

namespace quarn::console {

// Exit statuses of a headless run.
enum HeadlessExit : int { kExitOk = 0, kExitFailed = 1, kExitRefused = 2, kExitPairFailed = 3 };

struct HeadlessEnvironment {
    std::string iperfPath;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    // The chart of a run as PNG bytes for --report; a report without one when unset.
    std::function<std::vector<records::ReportChart>(const ConsoleData&)> reportCharts;
};

// The key --lab-key names (none without the option), or the text to show when the file
// cannot be used.
Result<std::optional<labkey::LabKey>> LoadLabKeyOption(const HeadlessOptions& options);

// Runs the Console's core without a window: open, search, measure, save, as the options
// say. Returns the exit status.
int RunHeadlessConsole(const HeadlessOptions& options, const HeadlessEnvironment& environment);

}  // namespace quarn::console
