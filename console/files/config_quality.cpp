#include "console/files/config_quality.h"

#include <array>
#include <charconv>
#include <cmath>
#include <optional>

#include "console/core/number_text.h"

namespace quarn::console {
namespace {

constexpr std::string_view kNoFigure = "-";

std::string Token(const std::optional<double>& value, int decimals) {
    if (!value || !std::isfinite(*value)) {
        return std::string(kNoFigure);
    }
    return FixedText(*value, decimals);
}

std::optional<double> Figure(std::string_view token, double maximum) {
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec != std::errc() || ptr != token.data() + token.size() || !std::isfinite(value) ||
        value < 0.0 || value > maximum) {
        return std::nullopt;
    }
    return value;
}

constexpr double kMaxPercent = 100.0;
constexpr double kMaxMs = 1e9;
constexpr int kPercentDecimals = 4;
constexpr int kMsDecimals = 3;

// The pair figures in token order.
template <typename Quality>
auto QualityFigures(Quality& quality) {
    return std::array{&quality.lossPercent, &quality.jitterAverageMs,   &quality.jitterMaxMs,
                      &quality.rttIdleMs,   &quality.rttLoadedMedianMs, &quality.rttLoadedP95Ms};
}

}  // namespace

std::string PairQualityTokens(const PairQuality& quality) {
    const auto figures = QualityFigures(quality);
    bool any = false;
    for (const auto* figure : figures) {
        any = any || figure->has_value();
    }
    if (!any) {
        return {};
    }
    std::string tokens;
    for (std::size_t i = 0; i < figures.size(); ++i) {
        tokens += ' ';
        tokens += Token(*figures[i], i == 0 ? kPercentDecimals : kMsDecimals);
    }
    return tokens;
}

std::string AllQualityTokens(const PairQuality& quality) {
    return quality.lossPercent ? " " + Token(quality.lossPercent, kPercentDecimals) : std::string();
}

void ApplyPairQualityToken(int index, std::string_view token, PairQuality& quality) {
    if (index < 0 || index >= kPairQualityTokens) {
        return;
    }
    *QualityFigures(quality)[static_cast<std::size_t>(index)] =
        Figure(token, index == 0 ? kMaxPercent : kMaxMs);
}

void ApplyAllQualityToken(int index, std::string_view token, PairQuality& quality) {
    if (index == 0) {
        quality.lossPercent = Figure(token, kMaxPercent);
    }
}

}  // namespace quarn::console
