#pragma once

#include <QComboBox>

namespace quarn::widgets {

// A flat drop-down list: thin #D9D9D9 frame, white inner frame, 15-pixel items filled
// #D6DDB9 when selected, #F1F1F1 when disabled, else white, black text.
class SkinCombo : public QComboBox {
    Q_OBJECT

  public:
    static constexpr int kItemHeight = 15;
    static constexpr int kDropButtonWidth = 16;

    explicit SkinCombo(QWidget* parent = nullptr);

    // Draws item `index` into `rect` (nothing for -1); used by the field and the popup.
    void DrawItem(QPainter& painter, const QRect& rect, int index, bool selected,
                  bool enabled) const;
    // Rectangle of the drop-down button inside the control.
    QRect DropButtonRect() const;

    // Drops the list below the control (styles on this platform lay it over the field).
    void showPopup() override;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace quarn::widgets
