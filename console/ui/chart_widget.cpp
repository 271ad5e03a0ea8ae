#include "console/ui/chart_widget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <vector>

#include "console/core/chart_model.h"
#include "console/core/pair_table.h"
#include "widgets/artwork.h"
#include "widgets/flat_painting.h"
#include "widgets/fonts.h"

namespace quarn::console::ui {

namespace {

const QColor kTextColour(0x7B, 0x7B, 0x7B);
const QColor kLabelColour(0x95, 0x95, 0x95);
const QColor kGridColour(0xEE, 0xEE, 0xEE);
const QColor kAxisColour(0xD0, 0xD0, 0xD0);
const QColor kEvenBand(0xF7, 0xF7, 0xF7);
constexpr int kHighlightAlpha = 0x50;
constexpr int kWindow = ChartModel::kVisibleSamples;

}  // namespace

const std::array<QColor, 17> ChartWidget::kSeriesPalette = {
    QColor(0x00, 0x00, 0x00), QColor(0x57, 0x81, 0x01), QColor(0xAF, 0xB7, 0x4C),
    QColor(0xFF, 0xE2, 0x00), QColor(0xFE, 0x70, 0x00), QColor(0xC8, 0x00, 0x62),
    QColor(0xFD, 0x93, 0xD1), QColor(0xB8, 0x79, 0xFF), QColor(0x81, 0x43, 0x98),
    QColor(0x00, 0x60, 0xEE), QColor(0x34, 0x68, 0xA1), QColor(0x81, 0xDF, 0xFB),
    QColor(0x39, 0xEF, 0xD6), QColor(0x83, 0xFF, 0x00), QColor(0xCE, 0xB2, 0x9C),
    QColor(0xAB, 0x6B, 0x65), QColor(0xC3, 0x8E, 0x0B)};

ChartWidget::ChartWidget(const ChartModel& model, std::function<int()> highlightedRow,
                         QWidget* parent)
    : QWidget(parent), model_(model), highlightedRow_(std::move(highlightedRow)) {
    // Every pixel comes from the paint pass; Qt's backing store keeps it flicker-free.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    widgets::InitArtwork();
    for (int k = 0; k < static_cast<int>(markers_.size()); ++k) {
        markers_[static_cast<std::size_t>(k)] = QPixmap(widgets::MarkerPath(k, 6));
    }
    setFont(widgets::GulimFont(12));
}

void ChartWidget::SetPairTable(const PairTable* table) {
    table_ = table;
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

void ChartWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit sizeChanged(width(), height());
}

void ChartWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setFont(font());
    const bool totalVisible = table_ != nullptr && table_->All().showTotal != 0;
    PaintLegend(painter, totalVisible);
    PaintScale(painter);
    PaintTimeLabels(painter);
    if (!loading_ && !model_.Loading()) {
        PaintCurves(painter, totalVisible);
    }
}

void ChartWidget::PaintLegend(QPainter& p, bool totalVisible) {
    const int pairCount = model_.PairCount();
    if (pairCount <= 0) {
        return;
    }
    p.setPen(kTextColour);
    int x0 = width() - 54;
    for (int m = pairCount; m >= 1; --m) {
        if (table_ != nullptr && m < table_->Size() && (*table_)[m].active == 0) {
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
}

void ChartWidget::PaintScale(QPainter& p) {
    const PlotRect& plot = model_.Plot();
    p.setPen(Qt::black);
    widgets::DrawTextAt(p, 4, 5, QStringLiteral("Mbps"));
    p.drawText(
        QRect(QPoint(width() - 50, height() - 16), QPoint(width() - 6 - 1, height() - 1 - 1)),
        Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, QStringLiteral("sec"));

    p.setPen(kLabelColour);
    widgets::DrawTextAt(p, 30, height() - 36, QStringLiteral("0"));
    const auto& bands = model_.Bands();
    for (std::size_t i = 0; i < bands.size(); ++i) {
        const ScaleBand& band = bands[i];
        const int lowY = static_cast<int>(band.lowY);
        const int highY = static_cast<int>(band.highY);
        p.fillRect(QRect(QPoint(plot.left, highY), QPoint(plot.right - 1, lowY - 1)),
                   i % 2 == 0 ? kEvenBand : QColor(Qt::white));
        if (i > 0) {
            p.setPen(kGridColour);
            p.drawLine(plot.left + 1, lowY, plot.right - 1, lowY);
        }
        p.setPen(kLabelColour);
        p.drawText(QRect(QPoint(0, highY - 4), QPoint(36 - 1, highY + 9 - 1)),
                   Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                   QString::number(static_cast<int>(band.highValue)));
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

void ChartWidget::PaintTimeLabels(QPainter& p) {
    const PlotRect& plot = model_.Plot();
    const int runLength = model_.RunLength();
    const int tickStep = std::max(model_.TickStep(), 1);
    const int first = model_.FirstVisibleSample();
    const int width = plot.right - plot.left;
    const int ticks =
        (runLength == -1 || runLength >= kWindow) ? 12 : std::max(runLength / tickStep, 1);
    const int spacing = width / ticks;
    const int limit = runLength == -1 ? first + kWindow : runLength;
    const int top = height() - 31;
    const int bottom = height() - 10;
    p.setPen(kLabelColour);
    for (int k = 0, v = first; v < limit; ++k, v += tickStep) {
        // A finished run places each label at its second, the axis its points use; labels
        // stop where the end label begins (as the evenly spaced ones do).
        const int x =
            runLength > 0 ? static_cast<int>(model_.RunTimeX(v - first)) : plot.left + k * spacing;
        if (x >= plot.right || (runLength > 0 && x > plot.right - spacing + 2)) {
            break;
        }
        p.drawText(QRect(QPoint(x, top), QPoint(x + spacing - 1, bottom - 1)),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, QString::number(v));
    }
    const int end = (runLength == -1 ? 12 * tickStep : runLength) + first;
    p.drawText(QRect(QPoint(plot.right - spacing, top), QPoint(plot.right - 1, bottom - 1)),
               Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, QString::number(end));
}

void ChartWidget::PaintCurves(QPainter& p, bool totalVisible) {
    const PlotRect& plot = model_.Plot();
    const auto& series = model_.Series();
    const int highlighted = highlightedRow_ ? highlightedRow_() : -1;
    const int first = std::max(model_.FirstVisibleSample(), 0);
    const bool wholeRun = model_.ShowsWholeRun();
    const int secondsPerPoint = model_.SecondsPerPoint();
    const int runLength = model_.RunLength();
    const float step = wholeRun ? model_.RunTimeX(secondsPerPoint) - static_cast<float>(plot.left)
                                : model_.HorizontalStep();
    const float left = static_cast<float>(plot.left);
    const float lastX = static_cast<float>(plot.right - 1);
    const float baseY = static_cast<float>(plot.bottom - 1);

    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    // Pixel centres at whole coordinates, so a level line covers exactly one row.
    p.translate(0.5, 0.5);
    p.setClipRect(QRectF(0, 0, width(), height()).translated(-0.5, -0.5));
    for (int k = totalVisible ? 0 : 1; k < static_cast<int>(series.size()); ++k) {
        const ChartSeries& points = series[static_cast<std::size_t>(k)];
        const QColor colour = kSeriesPalette[static_cast<std::size_t>(k % 17)];
        QPen pen(colour, 1.0);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        p.setPen(pen);
        const bool emphasised = k == highlighted;
        QPolygonF polygon;
        if (emphasised) {
            polygon << QPointF(left, baseY);
        }
        float runningX = left + step;
        float previousX = 0.0f;
        float previousY = 0.0f;
        bool previousMissing = false;
        int walked = 0;
        for (int j = first; j < static_cast<int>(points.size()); ++j) {
            const float value = points[static_cast<std::size_t>(j)].value;
            const bool missing = value < 0.0f;
            const float y = model_.ValueToY(value);
            float x = runningX;
            if (wholeRun) {
                // Every point of the finished run, at the end of the seconds it averages.
                const int endSecond = (j + 1) * secondsPerPoint;
                if (endSecond > runLength) {
                    break;
                }
                x = std::min(model_.RunTimeX(endSecond), lastX);
            } else if (x > lastX) {
                if (walked > kWindow - 1) {
                    break;
                }
                x = lastX;
            }
            if (j == first) {
                QPointF start(left, static_cast<float>(plot.bottom));
                if (j > 0) {
                    const float before = points[static_cast<std::size_t>(j - 1)].value;
                    start =
                        before < 0.0f ? QPointF(x, baseY) : QPointF(left, model_.ValueToY(before));
                }
                if (!missing) {
                    p.drawLine(start, QPointF(x, y));
                    if (emphasised) {
                        polygon << start;
                    }
                } else if (emphasised && j == 0) {
                    polygon[0] = QPointF(left + step, baseY);
                    polygon << QPointF(left, baseY);
                }
            } else if (!missing) {
                const QPointF from =
                    previousMissing ? QPointF(x - step, y) : QPointF(previousX, previousY);
                p.drawLine(from, QPointF(x, y));
            }
            if (emphasised && !missing) {
                polygon << QPointF(x, y);
            }
            previousX = x;
            previousY = y;
            previousMissing = missing;
            runningX += step;
            ++walked;
        }
        if (emphasised && highlighted > 0 && polygon.size() > 1) {
            polygon << QPointF(polygon.back().x(), baseY);
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

}  // namespace quarn::console::ui
