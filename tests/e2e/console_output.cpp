#include "tests/e2e/console_output.h"

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

}  // namespace

std::optional<RowFigures> FindRow(const std::vector<std::string>& lines, std::string_view name) {
    for (const std::string& line : lines) {
        const std::vector<std::string> words = Words(line);
        if (words.empty() || words[0] != name) {
            continue;
        }
        // The five figures close every row; a pair row has its state just before them.
        const bool pairRow = name != "All";
        if (words.size() < (pairRow ? 7u : 6u)) {
            return std::nullopt;
        }
        const std::size_t first = words.size() - 5;
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
