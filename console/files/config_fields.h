#pragma once

#include <span>
#include <string>

#include "console/core/console_data.h"

namespace quarn::console {

// The fields of the .config row lines in file order, each with how it is written and how
// it is read back, so that writer and reader cannot disagree on a position. The quality
// tokens follow them (config_quality.h). A token is one word without spaces.
struct AllLineField {
    std::string (*write)(const ConsoleData& data);
    void (*read)(const std::string& token, ConsoleData& data);
};

struct PairLineField {
    // `row` names a pair that has no name of its own.
    std::string (*write)(const PairRecord& pair, int row);
    void (*read)(const std::string& token, PairRecord& pair);
};

std::span<const AllLineField> AllLineFields();
std::span<const PairLineField> PairLineFields();

}  // namespace quarn::console
