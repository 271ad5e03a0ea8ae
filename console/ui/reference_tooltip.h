#pragma once

#include <string>
#include <vector>

namespace quarn::console {
struct PairRecord;
}

namespace quarn::console::ui {

// A pair's tooltip lines beside the reference run `label`: each throughput figure with
// the reference's and the change in % ("Average 94.1 Mbit/s (reference 97.3, −3.3 %)"),
// then loss and loaded round trip where either side has them. `then` is the reference's
// pair of the same addresses, nullptr when it has none.
std::vector<std::string> ReferenceFigureLines(const PairRecord& now, const PairRecord* then,
                                              const std::string& label);

}  // namespace quarn::console::ui
