#pragma once

#include <string>

#include "console/core/console_data.h"

namespace quarn::console {

// Both tables, then each pair's difference in % (current against reference) in the
// average, minimum and maximum, the All row last. `referenceName` says where the
// reference came from (a file or a run id).
std::string FormatComparison(const ConsoleData& current, const ConsoleData& reference,
                             const std::string& referenceName);

}  // namespace quarn::console
