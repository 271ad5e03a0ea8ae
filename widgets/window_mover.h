#pragma once

#include <QMouseEvent>
#include <QPoint>
#include <QWidget>

namespace quarn::widgets {

// Moves a captionless top-level window from a press in its drag area: through the window
// system where it can, else the window follows the pointer until the button is released.
class WindowMover {
  public:
    void Start(QWidget& window, const QMouseEvent& press);
    // True while a move is following the pointer (the event is then used up).
    bool Follow(QWidget& window, const QMouseEvent& move);
    void Stop() { following_ = false; }

  private:
    bool following_ = false;
    QPoint offset_;
};

}  // namespace quarn::widgets
