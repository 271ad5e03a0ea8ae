#pragma once

#include <string>

#include "console/core/console_data.h"

namespace quarn::console {

// Whether the table shows a Verdict column: the run was judged and some line was set.
bool ShowsVerdicts(const ConsoleData& data);
// The column's header and cells, each with its leading blanks; empty without the column.
// The All row shows the run's verdict.
std::string VerdictHeaderCell(const ConsoleData& data);
std::string VerdictCell(const ConsoleData& data, const PairRecord& row, bool allRow);
// Under the table: each pair's reasons and its notes, then the run's verdict.
std::string FormatVerdictReasons(const ConsoleData& data);

}  // namespace quarn::console
