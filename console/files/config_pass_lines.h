#pragma once

#include <string>
#include <string_view>

#include "console/core/pass_lines.h"

namespace quarn::console {

// A row's pass lines in the .config file: "key=value" tokens after its quality tokens,
// beyond where readers that do not know them stop. The All row carries the run's lines,
// a pair row its own. A row with lines but no quality figure gets "-" (no figure) for
// each quality token, so the lines keep their place; a row without lines gets nothing.
inline constexpr int kMaxPassLineTokens = 8;

// `qualityTokens` as the row's writer made them, with the pass-line tokens after them.
std::string WithPassLineTokens(std::string qualityTokens, int qualityTokenCount,
                               const PassLines& lines);

// A token read beyond the quality tokens; what is not a pass line is ignored.
void ApplyPassLineFileToken(std::string_view token, PassLines& lines);

}  // namespace quarn::console
