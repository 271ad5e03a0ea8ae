#pragma once

#include <string_view>
#include <vector>

namespace quarn::protocol {

// Splits at runs of spaces (and stray CR or LF); no token is empty.
std::vector<std::string_view> SplitTokens(std::string_view text);

}  // namespace quarn::protocol
