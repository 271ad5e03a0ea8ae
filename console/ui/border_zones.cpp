#include "console/ui/border_zones.h"

namespace quarn::console::ui {

Qt::Edges BorderZoneAt(QPoint point, QSize client) {
    const int x = point.x();
    const int y = point.y();
    const int left = 0;
    const int top = 0;
    const int right = client.width();
    const int bottom = client.height();
    if (x <= left + 5 && y <= top + 5)
        return Qt::TopEdge | Qt::LeftEdge;
    if (y <= top + 5 && x < right - 5)
        return Qt::TopEdge;
    if (y <= top + 5 && x >= right - 5)
        return Qt::TopEdge | Qt::RightEdge;
    if (x <= left + 2 && y >= top + 5 && y < bottom - 3)
        return Qt::LeftEdge;
    if (x <= left + 10 && y >= bottom - 3)
        return Qt::BottomEdge | Qt::LeftEdge;
    if (x >= right - 3 && y >= top + 5 && y < bottom - 3)
        return Qt::RightEdge;
    if (x >= right - 10 && y >= bottom - 3)
        return Qt::BottomEdge | Qt::RightEdge;
    if (x >= left + 3 && y >= bottom - 3)
        return Qt::BottomEdge;
    return {};
}

Qt::CursorShape BorderCursor(Qt::Edges edges) {
    if (edges == (Qt::TopEdge | Qt::LeftEdge) || edges == (Qt::BottomEdge | Qt::RightEdge))
        return Qt::SizeFDiagCursor;
    if (edges == (Qt::TopEdge | Qt::RightEdge) || edges == (Qt::BottomEdge | Qt::LeftEdge))
        return Qt::SizeBDiagCursor;
    if (edges == Qt::TopEdge || edges == Qt::BottomEdge)
        return Qt::SizeVerCursor;
    if (edges == Qt::LeftEdge || edges == Qt::RightEdge)
        return Qt::SizeHorCursor;
    return Qt::ArrowCursor;
}

}  // namespace quarn::console::ui
