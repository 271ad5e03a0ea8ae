#include "console/ui/paint_text.h"

#include <QFontMetrics>

namespace quarn::console::ui {

void DrawTextAt(QPainter& painter, int x, int y, const QString& text) {
    painter.drawText(x, y + painter.fontMetrics().ascent(), text);
}

void DrawDoubledText(QPainter& painter, int x, int y, const QString& text) {
    DrawTextAt(painter, x, y, text);
    DrawTextAt(painter, x + 1, y, text);
}

}  // namespace quarn::console::ui
