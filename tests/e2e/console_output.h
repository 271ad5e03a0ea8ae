#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarn::e2e {

// One row of the table that Quarn_Console prints after a run or for an opened file.
struct RowFigures {
    std::string state;  // empty for the All row
    int count = -1;
    double current = 0.0;
    double average = 0.0;
    double minimum = 0.0;
    double maximum = 0.0;

    bool operator==(const RowFigures&) const = default;
};

// The row whose first word is `name` ("Pair1", "All"); nullopt when there is none or its
// figures cannot be read.
std::optional<RowFigures> FindRow(const std::vector<std::string>& lines, std::string_view name);

// The n of every progress line "tick n of N, total X Mbit/s", in order.
std::vector<int> ProgressTicks(const std::vector<std::string>& lines);

bool HasLine(const std::vector<std::string>& lines, std::string_view text);
bool AnyLineContains(const std::vector<std::string>& lines, std::string_view fragment);

// A CSV written with --csv: column name -> values, one per processed second.
std::map<std::string, std::vector<double>> ReadTickCsv(const std::string& path);

}  // namespace quarn::e2e
