#pragma once

#include <string_view>

#include "console/core/console_data.h"

namespace quarn::console::legacy {

// ApplyConfigText of a reader that knows no quality tokens.
void ApplyConfigText(std::u16string_view text, ConsoleData& data);

}  // namespace quarn::console::legacy
