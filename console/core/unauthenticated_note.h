#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/core/pair_record.h"

namespace quarn::console {

// The log line of a pair that ran without the lab key: the EndPoint at address has none.
std::string UnauthenticatedLine(std::string_view address);
// The address such a line names; nullopt for every other line.
std::optional<std::string> UnauthenticatedAddress(std::string_view line);

// Notes in the pair's run state that its last run reached address without the key; each
// address once, at most the two EndPoints a pair has.
void NoteUnauthenticated(PairRunState& run, std::string address);

// The tooltip's line for a pair whose last run went unauthenticated; none otherwise.
std::vector<std::string> UnauthenticatedNoteLines(const PairRecord& pair);

}  // namespace quarn::console
