#pragma once

#include <string>
#include <vector>

#include "console/core/pair_quality.h"

namespace quarn::console {
struct PairRecord;
}

namespace quarn::console::ui {

// What a figure that does not exist shows (End Point 2 never answered, nothing counted):
// a dash, never a 0 that would read as a perfect link.
inline constexpr const char* kNoFigureText = "\u2013";

// Loss and jitter belong to UDP only; the round trip is measured under either protocol.
// A pair counts as UDP when its last run was, or when it holds loss figures (a run
// opened from a file).
bool ShowsUdpFigures(const PairRecord& pair);

// The tooltip's figure lines, one per figure that applies: loss, jitter, idle RTT, loaded
// RTT and what the queues add. Kept as lines so other lines can join them.
std::vector<std::string> PairFigureLines(const PairQuality& quality, bool udp);
// The whole tooltip of a pair row: its figure lines, one per line.
std::string PairTooltipText(const PairRecord& pair);
// The same figures on one short line, for a window's title area.
std::string PairFiguresSummary(const PairQuality& quality, bool udp);

}  // namespace quarn::console::ui
