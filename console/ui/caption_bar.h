#pragma once

#include <QPixmap>
#include <QPoint>
#include <QString>
#include <QWidget>

#include "widgets/window_mover.h"

namespace quarn::console::ui {

// The main window's own caption: title, own address, file name and the help, minimise
// and close buttons. It spans the window's top from (0, 0), so its coordinates are the
// window's; presses in a border zone are left to the window, which resizes.
class CaptionBar : public QWidget {
    Q_OBJECT
  public:
    enum class Button { None = -1, Help = 0, Minimise = 1, Close = 2 };
    static constexpr int kHeight = 32;

    explicit CaptionBar(QWidget* parent);

    void SetAddressText(const QString& address);
    void SetFileName(const QString& fileName);
    const QString& AddressText() const { return address_; }

    // Button rectangles in this widget's (and the window's) coordinates.
    QRect ButtonRect(Button button) const;
    Button Hovered() const { return hovered_; }
    Button Pressed() const { return pressed_; }

  signals:
    void helpClicked();
    void minimiseClicked();
    void closeClicked();

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    QRect FileNameArea() const;
    Button ButtonAt(QPoint point) const;
    bool InBorderZone(QPoint point) const;
    void PaintButton(QPainter& painter, Button button) const;

    QString address_ = QStringLiteral("0.0.0.0");
    QString fileName_;
    QPixmap title_;
    QPixmap buttons_[3][3];
    Button hovered_ = Button::None;
    Button pressed_ = Button::None;
    // Moving by hand where the window system cannot move the window itself.
};

}  // namespace quarn::console::ui
