#include "console/ui/chart_layout.h"

#include <algorithm>
#include <cmath>

namespace quarn::console::ui {

namespace {

constexpr int kWindow = ChartModel::kVisibleSamples;
constexpr int kTimeTicks = 12;
constexpr float kStepNudge = 0.1f;
// A width of millions of pixels would need that many nudges; no real plot comes close.
constexpr int kMaxNudges = 100000;

}  // namespace

ChartLayout::ChartLayout(const ChartModel& model, int width, int height, int labelWidth)
    : ChartLayout(model, model.Bands(), width, height, labelWidth) {}

ChartLayout::ChartLayout(const ChartModel& model, const std::vector<ScaleBand>& bands, int width,
                         int height, int labelWidth)
    : model_(model), bands_(bands), height_(height), plot_(PlotFor(width, height, labelWidth)) {}

PlotRect ChartLayout::PlotFor(int width, int height, int labelWidth) {
    return PlotRect{std::max(labelWidth, kLabelWidth) + kLabelGap, 27, width - 9, height - 30};
}

std::vector<BandRows> ChartLayout::Bands() const {
    std::vector<BandRows> rows;
    const int count = static_cast<int>(bands_.size());
    if (count == 0) {
        return rows;
    }
    const int bandHeight = (plot_.bottom - plot_.top) / count;
    const int base = plot_.bottom - 1;
    for (int i = 0; i < count; ++i) {
        rows.push_back(BandRows{base - i * bandHeight, base - (i + 1) * bandHeight,
                                bands_[static_cast<std::size_t>(i)].highValue});
    }
    return rows;
}

float ChartLayout::ValueToY(float value) const {
    const std::vector<BandRows> rows = Bands();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ScaleBand& band = bands_[i];
        if (band.lowValue <= value && value <= band.highValue) {
            const auto lowY = static_cast<float>(rows[i].lowY);
            const auto highY = static_cast<float>(rows[i].highY);
            const float d = value - band.lowValue;
            if (d <= 0.0f) {
                return lowY;
            }
            float range = band.highValue - band.lowValue;
            if (range <= 0.0f) {
                range = 1.0f;
            }
            return lowY - std::ceil(d * (lowY - highY) / range);
        }
    }
    return -1.0f;
}

int ChartLayout::VisibleIntervals() const {
    const int runLength = model_.RunLength();
    return runLength > 0 && runLength < kWindow ? runLength : kWindow;
}

float ChartLayout::HorizontalStep() const {
    const int n = VisibleIntervals();
    const double width = plot_.right - plot_.left;
    float step = static_cast<float>(width / n);
    // The products are compared exactly; the step itself stays a float, as it is drawn.
    const auto span = [&] { return static_cast<double>(n) * static_cast<double>(step); };
    if (span() > width) {
        for (int i = 0; i < kMaxNudges && span() >= width; ++i) {
            step -= kStepNudge;
        }
    } else if (span() < width) {
        for (int i = 0; i < kMaxNudges && span() <= width; ++i) {
            step += kStepNudge;
        }
    }
    return step;
}

float ChartLayout::RunTimeX(double seconds) const {
    const int runLength = model_.RunLength();
    if (runLength <= 0) {
        return static_cast<float>(plot_.left);
    }
    const double width = plot_.right - plot_.left;
    return static_cast<float>(plot_.left + seconds * width / runLength);
}

std::vector<TimeLabel> ChartLayout::TimeLabels() const {
    const int runLength = model_.RunLength();
    const int tickStep = std::max(model_.TickStep(), 1);
    const int first = model_.FirstVisibleSample();
    const int width = plot_.right - plot_.left;
    const int ticks =
        (runLength == -1 || runLength >= kWindow) ? kTimeTicks : std::max(runLength / tickStep, 1);
    const int spacing = width / ticks;
    const int limit = runLength == -1 ? first + kWindow : runLength;
    const int top = height_ - 31;
    const int bottom = height_ - 10;
    std::vector<TimeLabel> labels;
    for (int k = 0, v = first; v < limit; ++k, v += tickStep) {
        // A finished run places each label at its second, the axis its points use; labels
        // stop where the end label begins (as the evenly spaced ones do).
        const int x =
            runLength > 0 ? static_cast<int>(RunTimeX(v - first)) : plot_.left + k * spacing;
        if (x >= plot_.right || (runLength > 0 && x > plot_.right - spacing + 2)) {
            break;
        }
        labels.push_back(TimeLabel{v, PixelBox{x, top, x + spacing, bottom}, false});
    }
    const int end = (runLength == -1 ? kTimeTicks * tickStep : runLength) + first;
    labels.push_back(
        TimeLabel{end, PixelBox{plot_.right - spacing, top, plot_.right, bottom}, true});
    return labels;
}

float ChartLayout::CurveStep() const {
    if (model_.ShowsWholeRun()) {
        return RunTimeX(model_.SecondsPerPoint()) - static_cast<float>(plot_.left);
    }
    return HorizontalStep();
}

CurveGeometry ChartLayout::Curve(const ChartSeries& points, bool withFill,
                                 CurveStart curveStart) const {
    const int first = std::max(model_.FirstVisibleSample(), 0);
    const bool wholeRun = model_.ShowsWholeRun();
    const int secondsPerPoint = model_.SecondsPerPoint();
    const int runLength = model_.RunLength();
    const float step = CurveStep();
    const auto left = static_cast<float>(plot_.left);
    const auto lastX = static_cast<float>(plot_.right - 1);
    const auto baseY = static_cast<float>(plot_.bottom - 1);

    CurveGeometry curve;
    std::vector<ChartPixel>& outline = curve.fill;
    if (withFill) {
        outline.push_back({left, baseY});
    }
    float runningX = left + step;
    ChartPixel previous;
    bool previousMissing = false;
    int walked = 0;
    for (int j = first; j < static_cast<int>(points.size()); ++j) {
        const float value = points[static_cast<std::size_t>(j)].value;
        const bool missing = value < 0.0f;
        const float y = ValueToY(value);
        float x = runningX;
        if (wholeRun) {
            // Every point of the finished run, at the end of the seconds it averages.
            const int endSecond = (j + 1) * secondsPerPoint;
            if (endSecond > runLength) {
                break;
            }
            x = std::min(RunTimeX(endSecond), lastX);
        } else if (x > lastX) {
            // The window holds 60 intervals: a point past them is not drawn.
            if (walked > kWindow - 1) {
                break;
            }
            x = lastX;
        }
        const ChartPixel here{x, y};
        if (j == first) {
            // The line comes in from the left edge.
            ChartPixel start{left, static_cast<float>(plot_.bottom)};
            if (j == 0 && curveStart == CurveStart::AtFirstValue) {
                start = ChartPixel{left, y};
            } else if (j > 0) {
                const float before = points[static_cast<std::size_t>(j - 1)].value;
                start = before < 0.0f ? ChartPixel{x, baseY} : ChartPixel{left, ValueToY(before)};
            }
            if (!missing) {
                curve.lines.push_back({start, here});
                if (withFill) {
                    outline.push_back(start);
                }
            } else if (withFill && j == 0) {
                outline[0] = ChartPixel{left + step, baseY};
                outline.push_back({left, baseY});
            }
        } else if (!missing) {
            // Out of a missing second: a one-step stub at this value's height.
            const ChartPixel from = previousMissing ? ChartPixel{x - step, y} : previous;
            curve.lines.push_back({from, here});
        }
        if (withFill && !missing) {
            outline.push_back(here);
        }
        previous = here;
        previousMissing = missing;
        runningX += step;
        ++walked;
    }
    if (outline.size() > 1) {
        outline.push_back({outline.back().x, baseY});
    } else {
        outline.clear();
    }
    return curve;
}

}  // namespace quarn::console::ui
