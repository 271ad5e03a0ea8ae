#pragma once

#include <QPoint>
#include <QSize>
#include <Qt>

namespace quarn::console::ui {

// The resize zone of the frameless main window under a client point; no edges when the
// point lies inside. The zones are tested corner-first, so a corner wins over its sides.
Qt::Edges BorderZoneAt(QPoint point, QSize client);
// The two-headed arrow of a zone; the normal arrow for none.
Qt::CursorShape BorderCursor(Qt::Edges edges);

}  // namespace quarn::console::ui
