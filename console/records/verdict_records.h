#pragma once

#include <optional>
#include <string>
#include <vector>

#include "console/core/link_facts.h"
#include "console/core/pass_lines.h"
#include "console/records/json_value.h"

namespace quarn::console::records {

// {"min_mbit_per_s":250} or {"min_percent_of_expected":90}, then max_loss_percent,
// max_jitter_ms, max_rtt_rise_ms, max_baseline_drop_percent: only the lines set.
std::string EncodePassLines(const PassLines& lines);
// {"interface":"eth0","speed_mbit_per_s":10000,"duplex":"full","mtu":1500,"wireless":false},
// figures the EndPoint did not know left out.
std::string EncodeLinkFacts(const LinkFacts& link);
// ["a","b"]
std::string EncodeStrings(const std::vector<std::string>& texts);

// The encoders' objects read back. A figure of the wrong kind, negative or out of range is
// left out, as if it had not been written; so is a member that is not understood.
PassLines DecodePassLines(const JsonValue& object);
// Nothing when `object` is no object.
std::optional<LinkFacts> DecodeLinkFacts(const JsonValue& object);
// The array's strings; what is not a string is skipped.
std::vector<std::string> DecodeStrings(const JsonValue& array);

}  // namespace quarn::console::records
