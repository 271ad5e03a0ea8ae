#pragma once

#include <string>

#include "console/core/console_data.h"

namespace quarn::console::records {

// Loads what a run is compared with: a saved .config file, or when no such file exists, the
// run of that id in the history (`historyDir`). Returns an error text, or empty on success.
std::string LoadReference(const std::string& fileOrRunId, const std::string& historyDir,
                          ConsoleData& reference);

}  // namespace quarn::console::records
