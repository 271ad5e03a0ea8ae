#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/console_network_test.h"
#include "tests/e2e/run_expectations.h"
#include "tests/support/temp_dir.h"

namespace quarn::e2e {
namespace {

const std::vector<std::string> kGermanLocale = {"LANG=de_DE.UTF-8", "LC_ALL=de_DE.UTF-8"};

std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> cells;
    std::istringstream in(line);
    for (std::string cell; std::getline(in, cell, ',');) {
        cells.push_back(cell);
    }
    if (!line.empty() && line.back() == ',') {
        cells.emplace_back();
    }
    return cells;
}

bool IsPlainNumber(const std::string& cell) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
    return error == std::errc() && end == cell.data() + cell.size();
}

// "12,34": a figure written with a decimal comma.
bool HasCommaFigure(const std::string& text) {
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        const auto digit = [](char c) { return c >= '0' && c <= '9'; };
        if (text[i] == ',' && digit(text[i - 1]) && digit(text[i + 1])) {
            return true;
        }
    }
    return false;
}

using ConsoleLocaleTest = EndPointNetworkTest;

// A decimal-comma locale changes nothing in what the Console writes: every CSV row keeps
// the header's columns, and the report and the terminal table write a point.
TEST_F(ConsoleLocaleTest, GermanLocaleWritesTheSameNumbersAsTheCLocale) {
    test_support::TempDir files;
    const std::string csv = files.File("run.csv");
    const std::string report = files.File("run.html");
    const ConsoleResult run =
        RunConsole({"--pair", Address(2) + "," + Address(3), "--udp", "--throughput", "20",
                    "--duration", "3", "--csv", csv, "--report", report},
                   kRunTimeoutMs, kGermanLocale);
    ExpectCompletedRun(run, 3);

    std::ifstream in(csv);
    std::string line;
    ASSERT_TRUE(std::getline(in, line)) << run.Transcript();
    const std::vector<std::string> header = Cells(line);
    // tick, the pair, All, the pair's loss, jitter and round trip.
    ASSERT_EQ(header.size(), 6u) << line;
    int rows = 0;
    while (std::getline(in, line)) {
        ++rows;
        const std::vector<std::string> cells = Cells(line);
        ASSERT_EQ(cells.size(), header.size()) << line;
        for (const std::string& cell : cells) {
            EXPECT_TRUE(cell.empty() || IsPlainNumber(cell)) << cell << " in " << line;
        }
    }
    EXPECT_EQ(rows, 3);

    std::ifstream html(report);
    const std::string page{std::istreambuf_iterator<char>(html), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(page.empty());
    EXPECT_FALSE(HasCommaFigure(page));
    EXPECT_TRUE(std::none_of(run.lines.begin(), run.lines.end(), HasCommaFigure))
        << run.Transcript();
}

}  // namespace
}  // namespace quarn::e2e
