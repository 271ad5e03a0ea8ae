#pragma once

#include "widgets/flat_painting.h"

namespace quarn::console::ui {

using widgets::DrawDoubledText;
using widgets::DrawTextAt;

}  // namespace quarn::console::ui
