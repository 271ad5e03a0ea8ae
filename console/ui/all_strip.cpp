#include "console/ui/all_strip.h"

#include <QPainter>
#include <cstdio>

#include "console/core/number_text.h"
#include "console/core/pair_notes.h"
#include "widgets/artwork.h"
#include "widgets/flat_painting.h"
#include "widgets/fonts.h"
#include "widgets/palette.h"
#include "widgets/text.h"

namespace quarn::console::ui {

QString AllFigureText(float value, const std::string& storedText) {
    char text[64];
    if (value > 100000.0f) {
        std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
        return QString::fromLatin1(text);
    }
    if (value > 10000.0f)
        return QString::fromStdString(FixedText(value, 1));
    return widgets::FromUtf8(storedText);
}

AllStrip::AllStrip(const PairTable& table, QWidget* parent) : QWidget(parent), table_(table) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(widgets::GulimFont(12));
    markerOn_ = QPixmap(widgets::MarkerPath(0, 8));
    markerOff_ = QPixmap(widgets::MarkerPath(0, 6));
}

void AllStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const PairRecord& all = table_.All();
    if (all.config.showTotal)
        painter.drawPixmap(4, 18, markerOn_);
    else
        painter.drawPixmap(5, 19, markerOff_);

    painter.setFont(widgets::TahomaFont(25));
    painter.setPen(QColor(64, 64, 64));
    widgets::DrawTextAt(painter, 15, 7, QStringLiteral("All"));

    painter.setFont(font());
    painter.setPen(widgets::palette::kGreyText);
    const auto figure = [&](int left, int right, const QString& text) {
        const QRect area(QPoint(left - kLeft, 0), QPoint(right - kLeft - 1, height() - 1));
        painter.drawText(area, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, text);
    };
    figure(270, 357, widgets::FromUtf8(all.figures.countText));
    // All keeps the total of the current second in sum.
    figure(367, 447, AllFigureText(all.figures.sum, all.figures.currentText));
    figure(458, 538, AllFigureText(all.figures.average, all.figures.averageText));
    figure(549, 629, AllFigureText(all.figures.min, all.figures.minText));
    figure(640, 720, AllFigureText(all.figures.max, all.figures.maxText));

    // After a protocol switch the figures shown are still the other protocol's: say so
    // beside them rather than let the new choice label them.
    const std::string measured = udpSelected_ ? MeasuredWith(table_, udpSelected_()) : "";
    if (!measured.empty()) {
        const QRect note(QPoint(125 - kLeft, 0), QPoint(262 - kLeft, height() - 1));
        painter.drawText(note, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         QStringLiteral("measured with %1").arg(widgets::FromUtf8(measured)));
    }
}

}  // namespace quarn::console::ui
