#include "widgets/skin_button.h"

#include <QPainter>

#include "widgets/artwork.h"

namespace quarn::widgets {

SkinButton::SkinButton(QWidget* parent) : QAbstractButton(parent) {
    // Every pixel comes from the painter: no background erase, no hover repaints by style.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_Hover, false);
    setFocusPolicy(Qt::NoFocus);
}

void SkinButton::SetPainter(Painter painter) {
    painter_ = std::move(painter);
    update();
}

void SkinButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (painter_) {
        painter_(painter, *this);
    }
}

void SkinButton::enterEvent(QEnterEvent* event) {
    if (!hovered_) {
        hovered_ = true;
        update();
    }
    QAbstractButton::enterEvent(event);
}

void SkinButton::leaveEvent(QEvent* event) {
    if (hovered_) {
        hovered_ = false;
        update();
    }
    QAbstractButton::leaveEvent(event);
}

bool SkinButton::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}

void PaintSmallClose(QPainter& painter, const SkinButton& button) {
    painter.drawPixmap(0, 0,
                       StripImage(QString::fromLatin1(kCloseSmallStrip), button.IsHovered() ? 1 : 0,
                                  kCaptionButtonSize));
}

}  // namespace quarn::widgets
