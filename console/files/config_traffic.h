#pragma once

#include <string>
#include <string_view>

#include "console/core/traffic_options.h"

namespace quarn::console {

// A pair row's traffic options in the .config file: "dscp=46 length=200 mss=1000" after
// its pass-line tokens, where readers that do not know them stop or skip them. A row with
// options but no earlier token gets "-" (no figure) for each quality token first.
inline constexpr int kMaxTrafficTokens = 3;

// `tail` (the row's quality and pass-line tokens) with the traffic tokens after it.
std::string WithTrafficTokens(std::string tail, int qualityTokenCount,
                              const TrafficOptions& options);

// A token read beyond the quality tokens; what is no traffic option in its bounds is
// ignored.
void ApplyTrafficFileToken(std::string_view token, TrafficOptions& options);

}  // namespace quarn::console
