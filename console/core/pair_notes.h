#pragma once

#include <string>
#include <vector>

#include "console/core/pair_record.h"
#include "console/core/pair_table.h"

namespace quarn::console {

// "TCP" or "UDP": the protocol the pair's shown figures were measured with, when the
// protocol selected now is the other one; empty while they agree or nothing is shown.
std::string MeasuredWith(const PairRecord& pair, bool udpSelected);

// The same for the whole table: every pair's figures come from one run (or one file), so
// the first pair that shows any answers for all.
std::string MeasuredWith(const PairTable& table, bool udpSelected);

// What the pair's tooltip says beyond its columns: which protocol its figures were
// measured with (after a switch), then why its last run failed, then whether it ran
// unauthenticated.
std::vector<std::string> PairNoteLines(const PairRecord& pair, bool udpSelected);

}  // namespace quarn::console
