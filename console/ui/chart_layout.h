#pragma once

#include <vector>

#include "console/core/chart_model.h"

namespace quarn::console::ui {

// A rectangle of widget pixels; right and bottom are one past the last column and row.
struct PixelBox {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The area in which curves are drawn.
using PlotRect = PixelBox;

// Pixel rows of one scale band and the value written at its top.
struct BandRows {
    int lowY = 0;
    int highY = 0;  // above lowY
    float highValue = 0.0f;
};

// One label of the time axis: left-aligned in its box, or right-aligned for the end label.
struct TimeLabel {
    int seconds = 0;
    PixelBox box;
    bool alignRight = false;
};

struct ChartPixel {
    float x = 0.0f;
    float y = 0.0f;
};

struct CurveSegment {
    ChartPixel from;
    ChartPixel to;
};

// What one curve draws: its line segments in order and, when asked for, the outline of
// the area under it (empty when there is nothing to fill).
struct CurveGeometry {
    std::vector<CurveSegment> lines;
    std::vector<ChartPixel> fill;
};

// Where a curve's first second comes in from. Throughput rises from 0 at the run's start;
// a round trip or a loss has no figure before its first second (0 ms was never measured),
// so its curve starts at its own value.
enum class CurveStart { FromZero, AtFirstValue };

// Where the chart's values and seconds land in a widget of a given size. The time axis
// follows the model's run state (sliding window while running, the whole run once
// finished); the value axis follows a set of scale bands, by default the model's, so a
// chart of another measure passes its own bands and series.
class ChartLayout {
  public:
    // The y labels are right-aligned in x 0..labelWidth; the plot starts 3 pixels after.
    // Wider labels (figures near the 1 Tbit/s bound) push the plot right, never left.
    static constexpr int kLabelWidth = 36;

    ChartLayout(const ChartModel& model, int width, int height, int labelWidth = kLabelWidth);
    ChartLayout(const ChartModel& model, const std::vector<ScaleBand>& bands, int width, int height,
                int labelWidth = kLabelWidth);

    static PlotRect PlotFor(int width, int height, int labelWidth = kLabelWidth);
    // The label box actually used: at least kLabelWidth.
    int LabelWidth() const { return plot_.left - kLabelGap; }
    const PlotRect& Plot() const { return plot_; }

    std::vector<BandRows> Bands() const;
    // Pixel row of a value; -1 (above the plot) for a value outside the scale.
    float ValueToY(float value) const;
    // Distance between two samples of the visible window, nudged by tenths as a float
    // until the window's samples span the plot width exactly or just past it.
    float HorizontalStep() const;
    // x of a moment of a finished run: the plot's left at 0, its right at the run length.
    float RunTimeX(double seconds) const;
    // The evenly spaced labels from the first visible second, then the end label.
    std::vector<TimeLabel> TimeLabels() const;
    // The polyline of one series from the first visible sample; `withFill` adds the
    // outline of the area under it.
    CurveGeometry Curve(const ChartSeries& points, bool withFill,
                        CurveStart start = CurveStart::FromZero) const;

  private:
    static constexpr int kLabelGap = 3;

    // Samples across the plot width: the 60-second window, or a shorter finished run.
    int VisibleIntervals() const;
    // Distance between two points as the curves walk them.
    float CurveStep() const;

    const ChartModel& model_;
    const std::vector<ScaleBand>& bands_;
    int height_;
    PlotRect plot_;
};

}  // namespace quarn::console::ui
