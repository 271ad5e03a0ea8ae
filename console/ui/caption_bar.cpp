#include "console/ui/caption_bar.h"

#include <QHelpEvent>
#include <QToolTip>

#include "widgets/cut_text_tip.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "console/ui/border_zones.h"
#include "widgets/artwork.h"
#include "widgets/flat_painting.h"
#include "widgets/fonts.h"
#include "widgets/palette.h"

namespace quarn::console::ui {
namespace {

const QColor& kBorder = widgets::palette::kLightEdge;
const QColor kCaptionFill(224, 224, 224);
const QColor kSeparator(200, 200, 200);
const QColor kAddressText(177, 177, 177);
const QColor kFileNameText(120, 120, 120);

}  // namespace

CaptionBar::CaptionBar(QWidget* parent) : QWidget(parent) {
    // Elsewhere than on its buttons and the resize border, the caption moves the window.
    widgets::WindowMover::Install(
        this, [this](QPoint at) { return !InBorderZone(at) && ButtonAt(at) == Button::None; });
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(widgets::GulimFont(12));
    title_ = QPixmap(widgets::kTitleMain);
    const char* strips[] = {widgets::kCaptionHelpStrip, widgets::kCaptionMinimizeStrip,
                            widgets::kCaptionCloseStrip};
    for (int button = 0; button < 3; ++button) {
        for (int look = 0; look < 3; ++look) {
            buttons_[button][look] =
                widgets::StripImage(strips[button], look, widgets::kCaptionButtonSize);
        }
    }
}

void CaptionBar::SetAddressText(const QString& address) {
    if (address != address_) {
        address_ = address;
        update();
    }
}

void CaptionBar::SetFileName(const QString& fileName) {
    if (fileName != fileName_) {
        fileName_ = fileName;
        update();
    }
}

QRect CaptionBar::ButtonRect(Button button) const {
    const int offsets[] = {51, 37, 23};
    if (button == Button::None)
        return {};
    return QRect(width() - offsets[static_cast<int>(button)], 10, 12, 12);
}

CaptionBar::Button CaptionBar::ButtonAt(QPoint point) const {
    for (Button button : {Button::Help, Button::Minimise, Button::Close}) {
        if (ButtonRect(button).contains(point))
            return button;
    }
    return Button::None;
}

bool CaptionBar::InBorderZone(QPoint point) const {
    return BorderZoneAt(mapTo(window(), point), window()->size()) != Qt::Edges();
}

void CaptionBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int w = width();
    painter.fillRect(rect(), widgets::palette::kWindowFace);
    painter.setPen(kBorder);
    painter.drawLine(0, 0, w - 1, 0);
    painter.drawLine(0, 0, 0, kHeight - 1);
    painter.drawLine(w - 1, 0, w - 1, kHeight - 1);
    painter.setPen(Qt::white);
    painter.drawLine(1, 1, w - 2, 1);
    painter.fillRect(QRect(QPoint(1, 2), QPoint(w - 2, 30)), kCaptionFill);
    painter.setPen(kSeparator);
    painter.drawLine(1, 31, w - 2, 31);

    painter.drawPixmap(6, 5, title_);
    painter.setPen(kAddressText);
    painter.drawLine(169, 14, 169, 26);
    widgets::DrawTextAt(painter, 178, 15, QStringLiteral("IP: %1").arg(address_));

    if (!fileName_.isEmpty() && w - 90 > 512) {
        const QRect area = FileNameArea();
        painter.setPen(kFileNameText);
        const QString shown =
            painter.fontMetrics().elidedText(fileName_, Qt::ElideRight, area.width());
        painter.drawText(area, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }
    for (Button button : {Button::Help, Button::Minimise, Button::Close})
        PaintButton(painter, button);
}

QRect CaptionBar::FileNameArea() const {
    return QRect(QPoint(512, 3), QPoint(width() - 90 - 1, 31));
}

bool CaptionBar::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        // The whole file name when the caption shows it cut.
        if (!widgets::ShowCutTextTip(*static_cast<QHelpEvent*>(event), this, FileNameArea(),
                                     fileName_, fontMetrics())) {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

void CaptionBar::PaintButton(QPainter& painter, Button button) const {
    // Strip images: 0 normal, 1 hover, 2 pressed.
    int look = 0;
    if (pressed_ == button && hovered_ == button)
        look = 2;
    else if (hovered_ == button)
        look = 1;
    painter.drawPixmap(ButtonRect(button).topLeft(), buttons_[static_cast<int>(button)][look]);
}

void CaptionBar::mousePressEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (event->button() != Qt::LeftButton || InBorderZone(point)) {
        event->ignore();
        return;
    }
    pressed_ = ButtonAt(point);
    if (pressed_ != Button::None)
        update();
}

void CaptionBar::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    const Button now = ButtonAt(point);
    if (now != hovered_) {
        hovered_ = now;
        update();
    }
    setCursor(BorderCursor(BorderZoneAt(mapTo(window(), point), window()->size())));
    if (InBorderZone(point))
        event->ignore();
}

void CaptionBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || pressed_ == Button::None) {
        event->ignore();
        return;
    }
    const Button released = pressed_;
    pressed_ = Button::None;
    update();
    if (ButtonAt(event->position().toPoint()) != released)
        return;
    switch (released) {
        case Button::Help:
            emit helpClicked();
            break;
        case Button::Minimise:
            emit minimiseClicked();
            break;
        case Button::Close:
            emit closeClicked();
            break;
        case Button::None:
            break;
    }
}

void CaptionBar::leaveEvent(QEvent*) {
    if (hovered_ != Button::None) {
        hovered_ = Button::None;
        update();
    }
}

}  // namespace quarn::console::ui
