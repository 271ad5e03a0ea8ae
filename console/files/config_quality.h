#pragma once

#include <string>
#include <string_view>

#include "console/core/pair_quality.h"

namespace quarn::console {

// A row's quality figures in the .config file: extra tokens after the last field of its
// row line's field part, where readers that do not know them stop reading. A pair row
// carries six (loss %, jitter average and maximum in ms, idle RTT, loaded RTT median and
// 95th percentile in ms), the All row one (the run's loss %). "-" is a missing figure.
// A row without any figure gets no tokens, so such files stay as they always were.
inline constexpr int kPairQualityTokens = 6;
inline constexpr int kAllQualityTokens = 1;

// The tokens, each preceded by a blank; empty when the row has no figure.
std::string PairQualityTokens(const PairQuality& quality);
std::string AllQualityTokens(const PairQuality& quality);

// Token `index` (0-based) of a pair row or of the All row. Anything that is not a
// finite, non-negative number (a loss % also at most 100) is a missing figure.
void ApplyPairQualityToken(int index, std::string_view token, PairQuality& quality);
void ApplyAllQualityToken(int index, std::string_view token, PairQuality& quality);

}  // namespace quarn::console
