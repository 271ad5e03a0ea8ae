#pragma once

#include <QObject>
#include <QPoint>
#include <QWidget>
#include <functional>

namespace quarn::widgets {

// Moves a captionless top-level window from left presses in its drag area: through the
// window system where it can, else the window follows the pointer until the button is
// released. An event filter on the widget that holds the drag area; press and move events
// it uses are not passed on, releases are.
class WindowMover : public QObject {
  public:
    // Whether a press at this point (in the handle's coordinates) starts a move.
    using DragArea = std::function<bool(QPoint)>;

    // Moves handle's window from presses on the handle where area says (everywhere when
    // empty); the mover is the handle's child.
    static WindowMover* Install(QWidget* handle, DragArea area = {});

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    WindowMover(QWidget* handle, DragArea area);

    QWidget* handle_;
    DragArea area_;
    bool following_ = false;
    QPoint offset_;
};

}  // namespace quarn::widgets
