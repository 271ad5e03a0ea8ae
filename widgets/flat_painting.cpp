#include "widgets/flat_painting.h"
#include "widgets/palette.h"

#include <QColor>
#include <QFontMetrics>

namespace quarn::widgets {

namespace {
const QColor kButtonFace(237, 237, 237);
const QColor kButtonHover(243, 248, 226);
const QColor kButtonOutline(191, 190, 188);
}  // namespace

void DrawTextAt(QPainter& painter, int x, int y, const QString& text) {
    painter.drawText(x, y + painter.fontMetrics().ascent(), text);
}

void DrawDoubledText(QPainter& painter, int x, int y, const QString& text) {
    DrawTextAt(painter, x, y, text);
    DrawTextAt(painter, x + 1, y, text);
}

void PaintRaisedFrame(QPainter& painter, const QRect& area) {
    painter.fillRect(area, palette::kPanelFace);
    painter.setPen(palette::kLightEdge);
    painter.drawLine(area.topLeft(), area.topRight());
    painter.drawLine(area.topLeft(), area.bottomLeft());
    painter.setPen(palette::kDarkEdge);
    painter.drawLine(area.bottomLeft(), area.bottomRight());
    painter.drawLine(area.topRight(), area.bottomRight());
}

void PaintFlatTextButton(QPainter& painter, const SkinButton& button,
                         std::optional<QPoint> captionAt, int centreShift) {
    const QRect area = button.rect();
    painter.fillRect(area, button.IsHovered() ? kButtonHover : kButtonFace);
    painter.setPen(kButtonOutline);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    painter.setFont(button.font());
    painter.setPen(Qt::black);
    if (captionAt) {
        DrawTextAt(painter, *captionAt, button.text());
    } else {
        painter.drawText(area.translated(0, centreShift), Qt::AlignCenter | Qt::TextSingleLine,
                         button.text());
    }
}

}  // namespace quarn::widgets
