#include "tests/e2e/console_output.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace quarn::e2e {
namespace {

std::vector<std::string> Words(const std::string& line) {
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    return words;
}

std::optional<double> Number(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string> SplitCsv(const std::string& line) {
    std::vector<std::string> cells;
    std::string cell;
    std::istringstream stream(line);
    while (std::getline(stream, cell, ',')) {
        cells.push_back(cell);
    }
    return cells;
}

bool IsStateWord(const std::string& word) {
    for (const char* state : {"Ready", "Running", "Error", "Stopped", "Done", "Inactive"}) {
        if (word == state) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<RowFigures> FindRow(const std::vector<std::string>& lines, std::string_view name) {
    for (const std::string& line : lines) {
        const std::vector<std::string> words = Words(line);
        if (words.empty() || words[0] != name) {
            continue;
        }
        // Five figures follow the state of a pair row (the name of the All row); quality
        // columns may follow them.
        const bool pairRow = name != "All";
        std::size_t first = 1;
        if (pairRow) {
            const auto state = std::find_if(words.rbegin(), words.rend() - 1, IsStateWord);
            first = static_cast<std::size_t>(words.rend() - state);
        }
        if (words.size() < first + 5 || (pairRow && first < 2)) {
            return std::nullopt;
        }
        std::optional<double> figures[5];
        for (std::size_t i = 0; i < 5; ++i) {
            figures[i] = Number(words[first + i]);
            if (!figures[i]) {
                return std::nullopt;
            }
        }
        RowFigures row;
        row.state = pairRow ? words[first - 1] : "";
        row.count = static_cast<int>(*figures[0]);
        row.current = *figures[1];
        row.average = *figures[2];
        row.minimum = *figures[3];
        row.maximum = *figures[4];
        return row;
    }
    return std::nullopt;
}

std::vector<int> ProgressTicks(const std::vector<std::string>& lines) {
    std::vector<int> ticks;
    for (const std::string& line : lines) {
        const std::vector<std::string> words = Words(line);
        if (words.size() >= 4 && words[0] == "tick" && words[2] == "of") {
            ticks.push_back(std::atoi(words[1].c_str()));
        }
    }
    return ticks;
}

bool HasLine(const std::vector<std::string>& lines, std::string_view text) {
    for (const std::string& line : lines) {
        if (line == text) {
            return true;
        }
    }
    return false;
}

bool AnyLineContains(const std::vector<std::string>& lines, std::string_view fragment) {
    for (const std::string& line : lines) {
        if (line.find(fragment) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::map<std::string, std::vector<double>> ReadTickCsv(const std::string& path) {
    std::map<std::string, std::vector<double>> columns;
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line)) {
        return columns;
    }
    const std::vector<std::string> names = SplitCsv(line);
    while (std::getline(in, line)) {
        const std::vector<std::string> cells = SplitCsv(line);
        for (std::size_t i = 0; i < names.size() && i < cells.size(); ++i) {
            columns[names[i]].push_back(Number(cells[i]).value_or(-1.0));
        }
    }
    return columns;
}

}  // namespace quarn::e2e
