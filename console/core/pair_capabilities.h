#pragma once

#include <map>
#include <optional>
#include <string>

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

}  // namespace quarn::console
