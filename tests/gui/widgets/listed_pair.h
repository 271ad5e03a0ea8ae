#pragma once

#include "console/core/pair_table.h"

namespace quarn::console::ui::testing {

// A pair as the list shows it in the middle of a run.
inline PairRecord ListedPair(const char* ep1, const char* ep2, int parallel = 1,
                             bool active = true) {
    PairRecord p;
    p.config.endpoint1 = ep1;
    p.config.endpoint2 = ep2;
    p.config.parallel = parallel;
    p.config.active = active;
    p.figures.statusText = "Running";
    p.figures.countText = "12";
    p.figures.currentText = "941.20";
    p.figures.averageText = "938.55";
    p.figures.minText = "901.00";
    p.figures.maxText = "950.10";
    return p;
}

}  // namespace quarn::console::ui::testing
