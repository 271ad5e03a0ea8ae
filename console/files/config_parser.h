#pragma once

#include <string_view>

#include "console/core/console_data.h"

namespace quarn::console {

// Applies the text of a .config file (everything after the 40 header bytes, decoded) to
// `data`, which the caller has just reset with New. The reader is lenient: missing
// records and tokens keep their defaults, extra ones are ignored, a token that is not a
// number counts as 0, and at most 16 pair lines are read. Returns false when the text is
// incomplete (what could be read is applied all the same): it does not end where every
// written file ends (its last record without the LF, a name block without its end) or it
// has no All line.
bool ApplyConfigText(std::u16string_view text, ConsoleData& data);

}  // namespace quarn::console
