#pragma once

#include "console/core/console_data.h"

namespace quarn::console {

// What the main thread does to the chart once a file has been opened (whatever the
// result): the pair count of the table, and the run length and tick step derived from
// the stored tick count, showing the run from its first sample. Returns true when the
// pair count changed, so the chart needs a repaint. A measured run with pass lines is
// judged again, without a baseline.
bool ApplyOpenedRunState(ConsoleData& data);
// Everything after an open, whatever its result: the run state above and the All
// setting's Total curve.
void ApplyOpenedFile(ConsoleData& data);

}  // namespace quarn::console
