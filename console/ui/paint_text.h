#pragma once

#include <QFont>
#include <QPainter>
#include <QString>

namespace quarn::console::ui {

// Text placed by the top of its line, as the window's layout gives positions.
void DrawTextAt(QPainter& painter, int x, int y, const QString& text);
// The title look: the text drawn twice, one pixel apart.
void DrawDoubledText(QPainter& painter, int x, int y, const QString& text);

}  // namespace quarn::console::ui
