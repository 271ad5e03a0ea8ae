#pragma once

#include <QPainter>
#include <QPoint>
#include <QString>
#include <optional>

#include "widgets/skin_button.h"

namespace quarn::widgets {

// Text placed by the top of its line, as the windows' layouts give positions.
void DrawTextAt(QPainter& painter, int x, int y, const QString& text);
inline void DrawTextAt(QPainter& painter, QPoint at, const QString& text) {
    DrawTextAt(painter, at.x(), at.y(), text);
}
// The title look: the text drawn twice, one pixel apart.
void DrawDoubledText(QPainter& painter, int x, int y, const QString& text);

// A raised panel: the face, light top and left edges, dark bottom and right ones.
void PaintRaisedFrame(QPainter& painter, const QRect& area);

// The dialogs' flat text button: a light face, tinted under the pointer, with a one-pixel
// outline. The caption is the button's text in its font, with its top-left corner at
// captionAt, or centred and moved down by centreShift pixels.
void PaintFlatTextButton(QPainter& painter, const SkinButton& button,
                         std::optional<QPoint> captionAt = std::nullopt, int centreShift = 0);

}  // namespace quarn::widgets
