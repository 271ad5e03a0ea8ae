// iperf output lines of several pairs through the tick processor: whatever the lines say,
// the figures stay finite and ordered, and ticks, logs and chart stay in step.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "console/core/console_data.h"
#include "console/core/line_parser.h"
#include "console/core/tick_processor.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/log_model.h"

namespace {

using namespace quarn::console;

class QuietView : public ConsoleView {
  public:
    void ShowNotice(NoticeKind, std::string_view) override {}
};

bool Finite(const PairFigures& row) {
    return std::isfinite(row.min) && std::isfinite(row.max) && std::isfinite(row.average) &&
           std::isfinite(row.current) && std::isfinite(row.sum);
}

// min <= average <= max, allowing for float rounding of the running sum.
bool Ordered(const PairFigures& row, int ticks) {
    const float magnitude = std::max({std::fabs(row.min), std::fabs(row.max), 1.0f});
    const float slack = magnitude * 1e-6f * static_cast<float>(ticks + 1);
    return row.min <= row.max && row.average >= row.min - slack && row.average <= row.max + slack;
}

std::string FigureText(float value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(value));
    return buffer;
}

void CheckFigures(const ConsoleData& data, const std::vector<bool>& active) {
    const int ticks = data.ticks;
    const std::vector<ChartSeries>& series = data.chart.Series();
    FUZZ_CHECK(series.size() == static_cast<std::size_t>(data.table.Size()));
    FUZZ_CHECK(series[0].size() == static_cast<std::size_t>(ticks));
    if (ticks == 0) {
        return;
    }
    for (int r = 1; r < data.table.Size(); ++r) {
        const PairFigures& pair = data.table[r].figures;
        if (!active[static_cast<std::size_t>(r)]) {
            FUZZ_CHECK(series[static_cast<std::size_t>(r)].empty());
            continue;
        }
        FUZZ_CHECK(series[static_cast<std::size_t>(r)].size() == static_cast<std::size_t>(ticks));
        FUZZ_CHECK(pair.countText == std::to_string(ticks));
        FUZZ_CHECK(Finite(pair));
        FUZZ_CHECK(Ordered(pair, ticks));
        FUZZ_CHECK(pair.averageText == FigureText(pair.average));
        FUZZ_CHECK(pair.minText == FigureText(pair.min));
        FUZZ_CHECK(pair.maxText == FigureText(pair.max));
    }
    const PairFigures& all = data.table.All().figures;
    FUZZ_CHECK(Finite(all));
    FUZZ_CHECK(Ordered(all, ticks));
    FUZZ_CHECK(std::isfinite(data.chart.ScaleMaximum()) && data.chart.ScaleMaximum() > 0.0f);
}

}  // namespace

// The input is iperf output text; a few bytes at its end choose the pairs, their
// protocol and parallel streams, and how the lines are dealt to the rows.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const int pairs = input.ConsumeIntegralInRange<int>(2, 4);
    const bool udp = input.ConsumeBool();
    const bool everyRow = input.ConsumeBool();  // each line to every pair, as in a real run
    const uint8_t parallelBits = input.ConsumeIntegral<uint8_t>();
    const uint8_t inactiveBits = input.ConsumeIntegral<uint8_t>();
    uint32_t seed = input.ConsumeIntegral<uint32_t>() | 1u;
    const std::string text = input.ConsumeRemainingBytesAsString();

    ConsoleData console;
    QuietView view;
    std::vector<bool> active(static_cast<std::size_t>(pairs) + 1, true);
    for (int p = 1; p <= pairs; ++p) {
        PairConfig pair;
        pair.endpoint1 = "198.18.0.10";
        pair.endpoint2 = "198.18.0.11";
        pair.parallel = (parallelBits >> (2 * (p - 1)) & 3) == 3 ? 4 : 1;
        // At least pair 1 takes part.
        const bool isActive = p == 1 || (inactiveBits >> p & 1) == 0;
        pair.active = isActive;
        active[static_cast<std::size_t>(p)] = isActive;
        console.table.AppendPair(std::move(pair));
    }
    console.chart.BeginRun(pairs);
    TickProcessor ticks(console, view);
    ticks.BeginRun(std::chrono::seconds(300), udp);

    auto deal = [&](int row, std::string_view line) {
        const bool pairRow = console.table.IsPairRow(row);
        const std::size_t logged = pairRow ? console.logs.Of(console.table[row].id).Size() : 0;
        const int ticksBefore = console.ticks;
        const LineOutcome outcome = ticks.HandleLine(row, line);
        if (!pairRow) {
            FUZZ_CHECK(outcome == LineOutcome::Logged);
            FUZZ_CHECK(console.ticks == ticksBefore);
            return;
        }
        const PairRecord& pair = console.table[row];
        const PairLog& log = console.logs.Of(pair.id);
        FUZZ_CHECK(log.Size() == logged + 1);
        FUZZ_CHECK(log.Text(logged) == quarn::fuzz::ExpectedLogText(WithoutTrailingCr(line)));
        if (line.find("failed") != std::string_view::npos) {
            FUZZ_CHECK(outcome == LineOutcome::Failure && pair.figures.state == PairState::Error);
        }
        FUZZ_CHECK(console.ticks == ticksBefore + (outcome == LineOutcome::TickProcessed ? 1 : 0));
        if (outcome == LineOutcome::TickProcessed) {
            FUZZ_CHECK(log.Counted(logged));
            CheckFigures(console, active);
        }
    };

    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string_view line = std::string_view(text).substr(start, end - start);
        start = end + 1;
        if (everyRow) {
            for (int row = 1; row <= pairs; ++row) {
                deal(row, line);
            }
        } else {
            seed ^= seed << 13;
            seed ^= seed >> 17;
            seed ^= seed << 5;
            // Rows -1 and pairs + 1 do not exist, row 0 is the All row: all ignored.
            deal(static_cast<int>(seed % static_cast<uint32_t>(pairs + 3)) - 1, line);
        }
    }
    CheckFigures(console, active);
    // One counted line per processed tick and active pair, and it is the line that gave
    // the sample (a cut line may have lost its rate).
    for (int r = 1; r <= pairs; ++r) {
        const PairRecord& pair = console.table[r];
        const PairLog& log = console.logs.Of(pair.id);
        int counted = 0;
        for (std::size_t i = 0; i < log.Size(); ++i) {
            if (!log.Counted(i)) {
                continue;
            }
            ++counted;
            const std::string text(log.Text(i));
            FUZZ_CHECK(text.ends_with(PairLog::kCutMark) ||
                       IsSampleLine(text, pair.config.parallel, udp));
        }
        FUZZ_CHECK(counted == (active[static_cast<std::size_t>(r)] ? console.ticks : 0));
    }
    console.chart.FinishRun(console.ticks, ChartScaleSource::From(console.table));
    FUZZ_CHECK(std::isfinite(console.chart.ScaleMaximum()));
    return 0;
}
