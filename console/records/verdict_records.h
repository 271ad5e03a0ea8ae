#pragma once

#include <string>
#include <vector>

#include "console/core/link_facts.h"
#include "console/core/pass_lines.h"

namespace quarn::console::records {

// {"min_mbit_per_s":250} or {"min_percent_of_expected":90}, then max_loss_percent,
// max_jitter_ms, max_rtt_rise_ms, max_baseline_drop_percent: only the lines set.
std::string EncodePassLines(const PassLines& lines);
// {"interface":"eth0","speed_mbit_per_s":10000,"duplex":"full","mtu":1500,"wireless":false},
// figures the EndPoint did not know left out.
std::string EncodeLinkFacts(const LinkFacts& link);
// ["a","b"]
std::string EncodeStrings(const std::vector<std::string>& texts);

}  // namespace quarn::console::records
