#pragma once

#include <QWidget>
#include <array>

#include "console/core/chart_model.h"

namespace quarn::console::ui {

// The grey of the chart's labels, which the tabs' unselected titles share.
inline constexpr QRgb kChartLabelRgb = qRgb(0x95, 0x95, 0x95);

// The chart's measure selector: "Throughput", "Latency", "Loss" as texts on the chart's
// unit line, the selected one black and underlined. A widget of its own so that, like the
// All switch, it still answers while a run goes on and the rest of the chart does not.
class ChartMeasureTabs : public QWidget {
    Q_OBJECT

  public:
    // The texts, in the order of ChartMeasure.
    static constexpr std::array<const char*, 3> kTitles = {"Throughput", "Latency", "Loss"};

    explicit ChartMeasureTabs(QWidget* chart);

    ChartMeasure Measure() const { return measure_; }
    void SetMeasure(ChartMeasure measure);
    // Where a measure's text is drawn, in this widget's coordinates.
    QRect TabRect(ChartMeasure measure) const;

  signals:
    // A left press on a text: the measure it names, selected or not.
    void chosen(ChartMeasure measure);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    std::optional<ChartMeasure> MeasureAt(QPoint at) const;

    ChartMeasure measure_ = ChartMeasure::Throughput;
};

}  // namespace quarn::console::ui
