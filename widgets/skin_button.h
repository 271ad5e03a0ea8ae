#pragma once

#include <QAbstractButton>
#include <functional>

namespace quarn::widgets {

// A flat push button that only knows whether the pointer is over it; the owner window
// paints it through SetPainter, choosing its look from IsHovered() and its own state.
class SkinButton : public QAbstractButton {
    Q_OBJECT

  public:
    using Painter = std::function<void(QPainter&, const SkinButton&)>;

    explicit SkinButton(QWidget* parent = nullptr);

    bool IsHovered() const { return hovered_; }
    void SetPainter(Painter painter);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

  private:
    Painter painter_;
    bool hovered_ = false;
};

// The small close button in a window's corner: the close strip, lit while hovered.
void PaintSmallClose(QPainter& painter, const SkinButton& button);

}  // namespace quarn::widgets
