#pragma once

#include "console/core/console_data.h"
#include "console/records/journal_reader.h"

namespace quarn::console::records {

// Puts a journalled run into `data` as the Console would hold it had the run been stopped
// after its last journalled second (or, for a finished run, as it ended): settings, pairs
// and names, every figure, and the chart's series finished as at the end of a run. The
// result can be saved like any other.
void RestoreRun(const JournalContent& journal, ConsoleData& data);

}  // namespace quarn::console::records
