#pragma once

#include <QWidget>

namespace quarn::widgets {

// Moves a top-level window so that its centre is the centre of `owner`'s frame, or of the
// primary screen's free area when there is no owner; `size` is the window's size, which
// may not be applied yet. Leaves it where it is when neither is known.
void CentreOver(QWidget& window, const QWidget* owner, QSize size);

// The same over the screen the window is on (its own screen's free area).
void CentreOnItsScreen(QWidget& window);

}  // namespace quarn::widgets
