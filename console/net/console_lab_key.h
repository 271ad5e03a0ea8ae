#pragma once

#include <string>

#include "console/core/outcome.h"
#include "labkey/lab_key.h"

namespace quarn::console {

// The key in the key file at path, or the text that says why the Console cannot use it
// (unreadable, readable by others, malformed); the command line and the window show it
// alike.
Result<labkey::LabKey> LoadConsoleLabKey(const std::string& path);

}  // namespace quarn::console
