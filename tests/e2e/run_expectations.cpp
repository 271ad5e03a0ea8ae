#include "tests/e2e/run_expectations.h"

#include <gtest/gtest.h>

#include <numeric>

namespace quarn::e2e {
namespace {

// Figures are printed with two decimals.
constexpr double kPrinted = 0.006;

}  // namespace

void ExpectCompletedRun(const ConsoleResult& run, int duration) {
    EXPECT_EQ(run.exitCode, 0) << run.Transcript();
    EXPECT_TRUE(HasLine(run.lines, kCompletedNotice)) << run.Transcript();
    std::vector<int> everySecond(static_cast<std::size_t>(duration));
    std::iota(everySecond.begin(), everySecond.end(), 1);
    EXPECT_EQ(ProgressTicks(run.lines), everySecond) << run.Transcript();
}

std::optional<RowFigures> ExpectSensiblePair(const ConsoleResult& run, const std::string& pair,
                                             int duration) {
    const std::optional<RowFigures> row = FindRow(run.lines, pair);
    EXPECT_TRUE(row) << pair << " missing\n" << run.Transcript();
    if (!row) {
        return row;
    }
    SCOPED_TRACE(pair);
    EXPECT_EQ(row->state, "Done");
    EXPECT_EQ(row->count, duration);
    EXPECT_GT(row->minimum, 0.0);
    EXPECT_LE(row->minimum, row->average);
    EXPECT_LE(row->average, row->maximum);
    EXPECT_LE(row->minimum, row->current);
    EXPECT_LE(row->current, row->maximum);
    return row;
}

void ExpectAllRowSums(const ConsoleResult& run, const std::vector<std::string>& pairs) {
    const std::optional<RowFigures> all = FindRow(run.lines, "All");
    ASSERT_TRUE(all) << run.Transcript();
    int count = 0;
    double current = 0.0;
    double average = 0.0;
    for (const std::string& pair : pairs) {
        const std::optional<RowFigures> row = FindRow(run.lines, pair);
        ASSERT_TRUE(row) << pair << "\n" << run.Transcript();
        count += row->count;
        current += row->current;
        average += row->average;
    }
    const double tolerance = kPrinted * static_cast<double>(pairs.size() + 1);
    EXPECT_EQ(all->count, count);
    EXPECT_NEAR(all->current, current, tolerance);
    EXPECT_NEAR(all->average, average, tolerance);
    EXPECT_LE(all->minimum, all->average + tolerance);
    EXPECT_LE(all->average, all->maximum + tolerance);
}

std::optional<RowFigures> ExpectFailedRun(const ConsoleResult& run, const std::string& pair) {
    EXPECT_EQ(run.exitCode, 1) << run.Transcript();
    EXPECT_TRUE(HasLine(run.lines, kErrorNotice)) << run.Transcript();
    EXPECT_FALSE(HasLine(run.lines, kCompletedNotice)) << run.Transcript();
    const std::optional<RowFigures> row = FindRow(run.lines, pair);
    EXPECT_TRUE(row) << run.Transcript();
    if (row) {
        EXPECT_EQ(row->state, "Error") << run.Transcript();
    }
    return row;
}

}  // namespace quarn::e2e
