#pragma once

#include <string>

#include "console/core/console_data.h"

namespace quarn::console::records {

// The page a report opens with once its run was judged against pass lines: the operator's
// title, the date, the lines, each pair's verdict with its reasons and its expected and
// measured figures, and room to sign. Empty for a run without lines or judgement.
std::string SignOffSection(const ConsoleData& data, const std::string& title,
                           const std::string& createdAt);

// The sign-off page alone on the first A4 sheet when printed.
extern const char* const kSignOffStyle;

}  // namespace quarn::console::records
