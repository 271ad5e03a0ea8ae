#include "console/ui/reference_tooltip.h"

#include <cmath>
#include <optional>

#include "console/core/number_text.h"
#include "console/core/pair_record.h"
#include "console/records/run_compare.h"
#include "console/ui/pair_tooltip.h"

namespace quarn::console::ui {

namespace {

constexpr const char* kMinus = "\u2212";

std::string SignedFixed(double value, int decimals) {
    const std::string digits = FixedText(std::fabs(value), decimals);
    // A figure that rounds to zero carries no sign.
    const bool negative = value < 0.0 && digits.find_first_not_of("0.") != std::string::npos;
    return (negative ? kMinus : "") + digits;
}

std::string Figure(const std::optional<double>& value, int decimals) {
    return value && std::isfinite(*value) ? SignedFixed(*value, decimals) : kNoFigureText;
}

std::string Change(const std::optional<double>& now, const std::optional<double>& then) {
    if (!now || !then)
        return {};
    const std::optional<double> percent = records::PercentChange(*now, *then);
    if (!percent)
        return {};
    return ", " + std::string(*percent > 0.0 && SignedFixed(*percent, 1) != "0.0" ? "+" : "") +
           SignedFixed(*percent, 1) + " %";
}

// "Average 94.1 Mbit/s (reference 97.3, −3.3 %)"
std::string ThroughputLine(const char* title, const PairRecord& now, const PairRecord& then,
                           std::string PairFigures::*text) {
    const std::optional<double> current = records::ShownFigure(now, now.figures.*text);
    const std::optional<double> reference = records::ShownFigure(then, then.figures.*text);
    return std::string(title) + " " + Figure(current, 1) + (current ? " Mbit/s" : "") +
           " (reference " + Figure(reference, 1) + Change(current, reference) + ")";
}

// "Loss 0.78 % (reference 1.20 %)": round trips and loss differ by orders, so no %.
std::string QualityLine(const char* title, const std::optional<double>& now,
                        const std::optional<double>& then, const char* unit) {
    const auto withUnit = [unit](const std::optional<double>& value) {
        return value && std::isfinite(*value) ? SignedFixed(*value, 2) + unit : kNoFigureText;
    };
    return std::string(title) + " " + withUnit(now) + " (reference " + withUnit(then) + ")";
}

}  // namespace

std::vector<std::string> ReferenceFigureLines(const PairRecord& now, const PairRecord* then,
                                              const std::string& label) {
    std::vector<std::string> lines{"Reference: " + label};
    if (then == nullptr) {
        lines.emplace_back("No pair of these addresses in the reference");
        return lines;
    }
    lines.push_back(ThroughputLine("Average", now, *then, &PairFigures::averageText));
    lines.push_back(ThroughputLine("Minimum", now, *then, &PairFigures::minText));
    lines.push_back(ThroughputLine("Maximum", now, *then, &PairFigures::maxText));
    const PairQuality& q = now.figures.quality;
    const PairQuality& r = then->figures.quality;
    if (q.lossPercent || r.lossPercent)
        lines.push_back(QualityLine("Loss", q.lossPercent, r.lossPercent, " %"));
    if (q.rttLoadedMedianMs || r.rttLoadedMedianMs)
        lines.push_back(QualityLine("RTT load", q.rttLoadedMedianMs, r.rttLoadedMedianMs, " ms"));
    return lines;
}

}  // namespace quarn::console::ui
