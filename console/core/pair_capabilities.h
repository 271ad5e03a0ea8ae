#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "console/core/console_data.h"
#include "console/core/link_facts.h"
#include "console/core/pair_failure.h"
#include "console/core/pair_record.h"

namespace quarn::console {

// Why a pair cannot run with its traffic options: the first option an end it is sent to
// did not announce (End Point 1 first). Nothing when both ends take what they are sent.
// An end without facts (an older EndPoint never answers) takes nothing.
std::optional<PairFailure> UntakenOption(const PairConfig& pair, Protocol protocol,
                                         ClientSide client,
                                         const std::map<std::string, LinkFacts>& links);

// The addresses of active pairs with traffic options whose EndPoints said nothing yet (the
// pair was typed, not found by a search), so they can be asked before the run.
std::vector<std::string> EndsToAskBeforeTheRun(const ConsoleData& data);

}  // namespace quarn::console
