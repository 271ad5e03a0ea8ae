#pragma once

#include <QPixmap>
#include <QWidget>
#include <array>
#include <functional>

#include "console/core/chart_model.h"

namespace quarn::console {
class PairTable;
}  // namespace quarn::console
namespace quarn::console::records {
class ReferenceModel;
}  // namespace quarn::console::records

namespace quarn::console::ui {

class ChartLayout;
class ChartMeasureTabs;

// The live chart: paints a ChartModel's throughput, or its per-second round trips or
// loss as the selector at the top chooses (scale, bands and compression are the
// model's, their pixel places a ChartLayout's for the widget's size); legend and the "All" switch
// come from the pair table, the emphasised curve is the highlighted pair's.
class ChartWidget : public QWidget {
    Q_OBJECT

  public:
    // Curve and marker colours: 0 "All", k pair k.
    static const std::array<QColor, 17> kSeriesPalette;

    // The selector's texts, in the order of ChartMeasure.
    static constexpr std::array<const char*, 3> kMeasureTitles = {"Throughput", "Latency", "Loss"};

    explicit ChartWidget(const ChartModel& model, QWidget* parent = nullptr);

    ChartMeasure Measure() const { return measure_; }
    void SetMeasure(ChartMeasure measure);
    // Where the selector draws a measure's text, in the chart's coordinates.
    QRect MeasureTabRect(ChartMeasure measure) const;
    // The selector, a child of its own (the input filter lets it through during a run).
    ChartMeasureTabs* MeasureTabs() const { return tabs_; }

    // The table whose rows name the legend and whose All row says whether the "All"
    // curve shows. Without one every pair counts as active and "All" is hidden.
    void SetPairTable(const PairTable* table);
    // The owner's highlighted pair, read at each paint; its curve is emphasised. nullptr
    // for none; it must outlive the widget or be unset first.
    void SetHighlight(const PairId* highlighted) { highlighted_ = highlighted; }
    // A run to draw dashed behind the current curves, each pair in its current colour;
    // nullptr for none. It must outlive the widget or be unset first.
    void SetReference(const records::ReferenceModel* reference);
    // While a configuration file is being opened no curves are drawn.
    void SetLoading(bool loading);
    bool Loading() const { return loading_; }
    // Repaint after the model or the table changed (one tick, a new selection).
    void Refresh();

  signals:
    // A left or right press anywhere on the chart (the owner hides its File panel).
    void pressed();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    // Room for the widest y label of the current scale (never under the usual 36 pixels).
    int YLabelWidth(const std::vector<ScaleBand>& bands) const;
    // Returns the legend's left end.
    int PaintLegend(QPainter& painter, bool totalVisible);
    // "Reference" under a dashed stroke, left of the legend where the selector leaves room.
    void PaintReferenceKey(QPainter& painter, int legendLeft);
    void PaintScale(QPainter& painter, const ChartLayout& layout);
    void PaintTimeLabels(QPainter& painter, const ChartLayout& layout);
    void PaintCurves(QPainter& painter, const ChartLayout& layout, bool totalVisible);
    void PaintReference(QPainter& painter, const ChartLayout& layout, bool totalVisible);

    const ChartModel& model_;
    const PairId* highlighted_ = nullptr;
    const PairTable* table_ = nullptr;
    const records::ReferenceModel* reference_ = nullptr;
    bool loading_ = false;
    ChartMeasure measure_ = ChartMeasure::Throughput;
    ChartMeasureTabs* tabs_;
    std::array<QPixmap, 17> markers_;
};

}  // namespace quarn::console::ui
