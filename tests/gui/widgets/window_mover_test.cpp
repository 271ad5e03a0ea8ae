#include "widgets/window_mover.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

namespace quarn::widgets {
namespace {

// Counts the presses that reach the widget's own handler.
class PressCounter : public QWidget {
  public:
    PressCounter() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {}
    int presses = 0;

  protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

void Send(QWidget& widget, QEvent::Type type, QPoint local, QPoint global,
          Qt::MouseButton button = Qt::LeftButton) {
    const Qt::MouseButtons held =
        type == QEvent::MouseMove ? Qt::MouseButtons(button) : Qt::MouseButtons(Qt::NoButton);
    QMouseEvent event(type, QPointF(local), QPointF(global),
                      type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

TEST(WindowMover, APressInTheDragAreaMovesTheWindowUntilRelease) {
    PressCounter window;
    WindowMover::Install(&window, [](QPoint at) { return at.y() < 30; });
    window.setGeometry(100, 100, 200, 150);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QPoint start = window.frameGeometry().topLeft();
    const QPoint grip = window.mapToGlobal(QPoint(10, 10));

    Send(window, QEvent::MouseButtonPress, {10, 10}, grip);
    Send(window, QEvent::MouseMove, {50, 35}, grip + QPoint(40, 25));
    EXPECT_EQ(window.frameGeometry().topLeft(), start + QPoint(40, 25));
    EXPECT_EQ(window.presses, 0) << "the mover uses the press";

    Send(window, QEvent::MouseButtonRelease, {50, 35}, grip + QPoint(40, 25));
    Send(window, QEvent::MouseMove, {90, 90}, grip + QPoint(80, 80), Qt::NoButton);
    EXPECT_EQ(window.frameGeometry().topLeft(), start + QPoint(40, 25));
}

TEST(WindowMover, PressesElsewhereReachTheWidgetAndMoveNothing) {
    PressCounter window;
    WindowMover::Install(&window, [](QPoint at) { return at.y() < 30; });
    window.setGeometry(100, 100, 200, 150);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QPoint start = window.frameGeometry().topLeft();

    Send(window, QEvent::MouseButtonPress, {10, 100}, window.mapToGlobal(QPoint(10, 100)));
    Send(window, QEvent::MouseMove, {60, 120}, window.mapToGlobal(QPoint(60, 120)));
    Send(window, QEvent::MouseButtonPress, {10, 10}, window.mapToGlobal(QPoint(10, 10)),
         Qt::RightButton);
    Send(window, QEvent::MouseMove, {60, 40}, window.mapToGlobal(QPoint(60, 40)), Qt::RightButton);
    EXPECT_EQ(window.frameGeometry().topLeft(), start);
    EXPECT_EQ(window.presses, 2);
}

}  // namespace
}  // namespace quarn::widgets
