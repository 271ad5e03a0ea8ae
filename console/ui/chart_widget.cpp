#include "console/ui/chart_widget.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <vector>

#include "console/core/chart_model.h"
#include "console/core/pair_table.h"
#include "console/records/reference_model.h"
#include "console/ui/chart_layout.h"
#include "console/ui/chart_measure_tabs.h"
#include "widgets/artwork.h"
#include "widgets/flat_painting.h"
#include "widgets/fonts.h"

namespace quarn::console::ui {

namespace {

const QColor kTextColour(0x7B, 0x7B, 0x7B);
const QColor kLabelColour(kChartLabelRgb);
const QColor kGridColour(0xEE, 0xEE, 0xEE);
const QColor kAxisColour(0xD0, 0xD0, 0xD0);
const QColor kEvenBand(0xF7, 0xF7, 0xF7);
constexpr int kHighlightAlpha = 0x50;
// The selector sits on the unit's line, right of it, clear of the legend's left end.
constexpr QPoint kSelectorAt(42, 4);
constexpr int kReferenceStroke = 18;
constexpr int kReferenceKeyGap = 14;

QString UnitOf(ChartMeasure measure) {
    switch (measure) {
        case ChartMeasure::Latency:
            return QStringLiteral("ms");
        case ChartMeasure::Loss:
            return QStringLiteral("%");
        default:
            return QStringLiteral("Mbps");
    }
}

QString BandLabel(float highValue) {
    return QString::number(static_cast<int>(highValue));
}

CurveStart CurveStartOf(ChartMeasure measure) {
    return measure == ChartMeasure::Throughput ? CurveStart::FromZero : CurveStart::AtFirstValue;
}

}  // namespace

const std::array<QColor, 17> ChartWidget::kSeriesPalette = {
    QColor(0x00, 0x00, 0x00), QColor(0x57, 0x81, 0x01), QColor(0xAF, 0xB7, 0x4C),
    QColor(0xFF, 0xE2, 0x00), QColor(0xFE, 0x70, 0x00), QColor(0xC8, 0x00, 0x62),
    QColor(0xFD, 0x93, 0xD1), QColor(0xB8, 0x79, 0xFF), QColor(0x81, 0x43, 0x98),
    QColor(0x00, 0x60, 0xEE), QColor(0x34, 0x68, 0xA1), QColor(0x81, 0xDF, 0xFB),
    QColor(0x39, 0xEF, 0xD6), QColor(0x83, 0xFF, 0x00), QColor(0xCE, 0xB2, 0x9C),
    QColor(0xAB, 0x6B, 0x65), QColor(0xC3, 0x8E, 0x0B)};

ChartWidget::ChartWidget(const ChartModel& model, QWidget* parent)
    : QWidget(parent), model_(model) {
    // Every pixel comes from the paint pass; Qt's backing store keeps it flicker-free.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    widgets::InitArtwork();
    for (int k = 0; k < static_cast<int>(markers_.size()); ++k) {
        markers_[static_cast<std::size_t>(k)] = QPixmap(widgets::MarkerPath(k, 6));
    }
    setFont(widgets::GulimFont(12));
    tabs_ = new ChartMeasureTabs(this);
    tabs_->move(kSelectorAt);
    connect(tabs_, &ChartMeasureTabs::chosen, this, &ChartWidget::SetMeasure);
}

void ChartWidget::SetMeasure(ChartMeasure measure) {
    tabs_->SetMeasure(measure);
    if (measure_ != measure) {
        measure_ = measure;
        update();
    }
}

QRect ChartWidget::MeasureTabRect(ChartMeasure measure) const {
    return tabs_->TabRect(measure).translated(tabs_->pos());
}

void ChartWidget::SetPairTable(const PairTable* table) {
    table_ = table;
    update();
}

void ChartWidget::SetReference(const records::ReferenceModel* reference) {
    reference_ = reference;
    update();
}

void ChartWidget::SetLoading(bool loading) {
    loading_ = loading;
    update();
}

void ChartWidget::Refresh() {
    update();
}

void ChartWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
        emit pressed();
    }
    QWidget::mousePressEvent(event);
}

void ChartWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setFont(font());
    // The All curve is a throughput sum; round trips and loss do not add up.
    const bool totalVisible =
        measure_ == ChartMeasure::Throughput && table_ != nullptr && table_->All().config.showTotal;
    const std::vector<ScaleBand> bands = model_.BandsOf(measure_);
    const ChartLayout layout(model_, bands, width(), height(), YLabelWidth(bands));
    PaintReferenceKey(painter, PaintLegend(painter, totalVisible));
    PaintScale(painter, layout);
    PaintTimeLabels(painter, layout);
    if (!loading_ && !model_.Loading()) {
        PaintCurves(painter, layout, totalVisible);
    }
}

int ChartWidget::YLabelWidth(const std::vector<ScaleBand>& bands) const {
    const QFontMetrics metrics(font());
    int widest = 0;
    for (const ScaleBand& band : bands) {
        widest = std::max(widest, metrics.horizontalAdvance(BandLabel(band.highValue)));
    }
    return std::max(widest + 1, ChartLayout::kLabelWidth);
}

int ChartWidget::PaintLegend(QPainter& p, bool totalVisible) {
    const int pairCount = model_.PairCount();
    if (pairCount <= 0) {
        return width();
    }
    p.setPen(kTextColour);
    int x0 = width() - 54;
    for (int m = pairCount; m >= 1; --m) {
        if (table_ != nullptr && m < table_->Size() && !(*table_)[m].config.active) {
            continue;
        }
        p.drawText(QRect(QPoint(x0 + 6, 11), QPoint(x0 + 43 - 1, 22 - 1)),
                   Qt::AlignRight | Qt::AlignTop | Qt::TextSingleLine,
                   QStringLiteral("Pair%1").arg(m));
        if (m <= 16) {
            p.drawPixmap(m < 10 ? x0 + 6 : x0, 13, markers_[static_cast<std::size_t>(m)]);
        }
        x0 -= 54;
    }
    if (totalVisible) {
        p.drawText(QRect(QPoint(x0 + 25, 11), QPoint(x0 + 50 - 1, 22 - 1)),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, QStringLiteral("All"));
        p.drawPixmap(x0 + 16, 13, markers_[0]);
    }
    return totalVisible ? x0 + 16 : x0 + 54;
}

void ChartWidget::PaintReferenceKey(QPainter& p, int legendLeft) {
    if (reference_ == nullptr || !reference_->Active()) {
        return;
    }
    const QString text = QStringLiteral("Reference");
    const int textWidth = QFontMetrics(font()).horizontalAdvance(text);
    const int left = legendLeft - kReferenceKeyGap - textWidth - kReferenceStroke - 4;
    if (left < tabs_->geometry().right() + kReferenceKeyGap) {
        return;
    }
    QPen pen(Qt::black, 1.0, Qt::DashLine);
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    p.drawLine(left, 17, left + kReferenceStroke, 17);
    p.setPen(kTextColour);
    p.drawText(QRect(QPoint(left + kReferenceStroke + 4, 11),
                     QPoint(legendLeft - kReferenceKeyGap, 22 - 1)),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

void ChartWidget::PaintScale(QPainter& p, const ChartLayout& layout) {
    const PlotRect& plot = layout.Plot();
    p.setPen(Qt::black);
    widgets::DrawTextAt(p, 4, 5, UnitOf(measure_));
    p.drawText(
        QRect(QPoint(width() - 50, height() - 16), QPoint(width() - 6 - 1, height() - 1 - 1)),
        Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, QStringLiteral("sec"));

    p.setPen(kLabelColour);
    const int labelRight = layout.LabelWidth();
    widgets::DrawTextAt(p, labelRight - 6, height() - 36, QStringLiteral("0"));
    const std::vector<BandRows> bands = layout.Bands();
    for (std::size_t i = 0; i < bands.size(); ++i) {
        const BandRows& band = bands[i];
        p.fillRect(QRect(QPoint(plot.left, band.highY), QPoint(plot.right - 1, band.lowY - 1)),
                   i % 2 == 0 ? kEvenBand : QColor(Qt::white));
        if (i > 0) {
            p.setPen(kGridColour);
            p.drawLine(plot.left + 1, band.lowY, plot.right - 1, band.lowY);
        }
        p.setPen(kLabelColour);
        p.drawText(QRect(QPoint(0, band.highY - 4), QPoint(labelRight - 1, band.highY + 9 - 1)),
                   Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                   BandLabel(band.highValue));
    }
    // Plot frame, then the two axes.
    p.setPen(kGridColour);
    p.setBrush(Qt::NoBrush);
    // A 1-pixel outline of QRect(x, y, w, h) covers x..x+w: this one ends at right - 1.
    p.drawRect(QRect(plot.left, plot.top, plot.right - plot.left - 1, plot.bottom - plot.top - 1));
    QPen axis(kAxisColour, 2);
    axis.setCapStyle(Qt::FlatCap);
    axis.setJoinStyle(Qt::MiterJoin);
    p.setPen(axis);
    const QPoint corner(plot.left + 1, plot.bottom - 1);
    const QPoint axisPoints[] = {QPoint(plot.left + 1, plot.top), corner,
                                 QPoint(plot.right - 1, plot.bottom - 1)};
    p.drawPolyline(axisPoints, 3);
}

void ChartWidget::PaintTimeLabels(QPainter& p, const ChartLayout& layout) {
    p.setPen(kLabelColour);
    for (const TimeLabel& label : layout.TimeLabels()) {
        const PixelBox& b = label.box;
        const Qt::Alignment align = label.alignRight ? Qt::AlignRight : Qt::AlignLeft;
        p.drawText(QRect(QPoint(b.left, b.top), QPoint(b.right - 1, b.bottom - 1)),
                   align | Qt::AlignVCenter | Qt::TextSingleLine, QString::number(label.seconds));
    }
}

void ChartWidget::PaintCurves(QPainter& p, const ChartLayout& layout, bool totalVisible) {
    const auto& series = model_.SeriesOf(measure_);
    const int highlighted = table_ && highlighted_ ? table_->RowOf(*highlighted_) : -1;
    auto point = [](const ChartPixel& at) { return QPointF(at.x, at.y); };

    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    // Pixel centres at whole coordinates, so a level line covers exactly one row.
    p.translate(0.5, 0.5);
    p.setClipRect(QRectF(0, 0, width(), height()).translated(-0.5, -0.5));
    PaintReference(p, layout, totalVisible);
    for (int k = totalVisible ? 0 : 1; k < static_cast<int>(series.size()); ++k) {
        const QColor colour = kSeriesPalette[static_cast<std::size_t>(k % 17)];
        QPen pen(colour, 1.0);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        p.setPen(pen);
        const bool emphasised = k == highlighted;
        const CurveGeometry curve =
            layout.Curve(series[static_cast<std::size_t>(k)], emphasised, CurveStartOf(measure_));
        for (const CurveSegment& line : curve.lines) {
            p.drawLine(point(line.from), point(line.to));
        }
        // The fill goes over the series' own lines; a highlight of 0 (the All row) has none.
        if (highlighted > 0 && !curve.fill.empty()) {
            QPolygonF polygon;
            for (const ChartPixel& vertex : curve.fill) {
                polygon << point(vertex);
            }
            QColor fill = colour;
            fill.setAlpha(kHighlightAlpha);
            p.setPen(Qt::NoPen);
            p.setBrush(fill);
            p.drawPolygon(polygon, Qt::OddEvenFill);
            p.setBrush(Qt::NoBrush);
        }
    }
    p.restore();
}

// Dashed and first, so the current curves stay on top where both run together.
void ChartWidget::PaintReference(QPainter& p, const ChartLayout& layout, bool totalVisible) {
    if (reference_ == nullptr || !reference_->Active() || table_ == nullptr) {
        return;
    }
    auto point = [](const ChartPixel& at) { return QPointF(at.x, at.y); };
    // Beyond the current scale the reference leaves through the plot's top, not over
    // the legend.
    const PlotRect& plot = layout.Plot();
    p.save();
    p.setClipRect(QRectF(plot.left, plot.top, plot.right - plot.left, plot.bottom - plot.top)
                      .translated(-0.5, -0.5));
    const int rows = std::min(table_->Size(), static_cast<int>(model_.SeriesOf(measure_).size()));
    for (int k = totalVisible ? 0 : 1; k < rows; ++k) {
        const ChartSeries curve = reference_->CurveFor(*table_, model_, measure_, k);
        if (curve.empty()) {
            continue;
        }
        QPen pen(kSeriesPalette[static_cast<std::size_t>(k % 17)], 1.0, Qt::DashLine);
        pen.setCapStyle(Qt::FlatCap);
        p.setPen(pen);
        // Joined segments go as one line, so the dashes run on across the points.
        QPolygonF line;
        for (const CurveSegment& segment :
             layout.Curve(curve, false, CurveStartOf(measure_)).lines) {
            if (line.isEmpty() || line.back() != point(segment.from)) {
                p.drawPolyline(line);
                line.clear();
                line << point(segment.from);
            }
            line << point(segment.to);
        }
        p.drawPolyline(line);
    }
    p.restore();
}

}  // namespace quarn::console::ui
