#pragma once

#include <string>

#include "console/core/console_data.h"
#include "console/core/outcome.h"

namespace quarn::console::records {

// "Cannot open the file: <path>", the headless answer to a file it cannot read.
std::string CannotOpenText(const std::string& path);

// Loads what a run is compared with: a saved .config file, or when no such file exists, the
// run of that id in the history (`historyDir`).
Outcome LoadReference(const std::string& fileOrRunId, const std::string& historyDir,
                      ConsoleData& reference);

}  // namespace quarn::console::records
