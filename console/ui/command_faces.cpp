#include "console/ui/command_faces.h"

#include <QPainter>
#include <QPixmap>
#include <vector>

#include "widgets/artwork.h"
#include "widgets/flat_painting.h"
#include "widgets/fonts.h"
#include "widgets/palette.h"

namespace quarn::console::ui {
namespace {

std::vector<QPixmap> LoadStrip(const QString& path, int count, int width,
                               const QColor& transparent = QColor()) {
    std::vector<QPixmap> images;
    for (int i = 0; i < count; ++i)
        images.push_back(widgets::StripImage(path, i, width, transparent));
    return images;
}

}  // namespace

widgets::SkinButton::Painter StartStopFace(std::function<bool()> measuring,
                                           std::function<bool()> stoppable,
                                           std::function<bool()> stopping) {
    const std::vector<QPixmap> symbols = LoadStrip(
        widgets::kStartStopStrip, 2, widgets::kStartStopSize, widgets::kStartStopTransparent);
    return [=](QPainter& painter, const widgets::SkinButton& button) {
        const bool running = measuring();
        QColor fill;
        if (running)
            fill =
                button.IsHovered() && stoppable() ? QColor(191, 199, 167) : QColor(176, 184, 152);
        else
            fill = button.IsHovered() ? QColor(167, 189, 88) : QColor(154, 177, 75);
        painter.fillRect(button.rect(), fill);
        painter.drawPixmap(6, 6, symbols[running ? 1 : 0]);
        painter.setFont(widgets::GulimFont(12));
        painter.setPen(Qt::black);
        widgets::DrawDoubledText(painter, 35, 7, QStringLiteral("Tolvex Quarn"));
        QString caption = QStringLiteral("Start measurement");
        if (running)
            caption = stopping && stopping() ? QStringLiteral("Stopping...")
                                             : QStringLiteral("Stop measurement");
        widgets::DrawTextAt(painter, 34, 21, caption);
    };
}

widgets::SkinButton::Painter PairCommandFace(const QString& text, const QString& iconPath,
                                             std::function<bool()> measuring) {
    const QPixmap icon(iconPath);
    return [=](QPainter& painter, const widgets::SkinButton& button) {
        const bool running = measuring();
        QColor fill = QColor(185, 198, 140);
        QColor ink = Qt::black;
        if (running) {
            fill = QColor(176, 184, 152);
            ink = widgets::palette::kGreyText;
        } else if (button.IsHovered()) {
            fill = QColor(194, 207, 149);
        }
        painter.fillRect(button.rect(), fill);
        painter.drawPixmap(4, 4, icon);
        painter.setFont(widgets::GulimFont(12));
        painter.setPen(ink);
        widgets::DrawTextAt(painter, 19, 3, text);
    };
}

widgets::SkinButton::Painter EndPointCommandFace(const QString& text, int firstImage) {
    const std::vector<QPixmap> images =
        LoadStrip(widgets::kEndPointButtonsStrip, 4, widgets::kEndPointButtonSize,
                  widgets::kEndPointButtonsTransparent);
    return [=](QPainter& painter, const widgets::SkinButton& button) {
        painter.fillRect(button.rect(), widgets::palette::kWindowFace);
        painter.drawPixmap(
            0, 0, images[static_cast<std::size_t>(firstImage + (button.IsHovered() ? 1 : 0))]);
        painter.setFont(widgets::GulimFont(12));
        painter.setPen(Qt::black);
        widgets::DrawTextAt(painter, 19, 2, text);
    };
}

widgets::SkinButton::Painter StripFace(const QString& path, int imageWidth,
                                       std::function<int(const widgets::SkinButton&)> image) {
    const std::vector<QPixmap> images = LoadStrip(path, 2, imageWidth);
    return [=](QPainter& painter, const widgets::SkinButton& button) {
        painter.fillRect(button.rect(), widgets::palette::kWindowFace);
        const int index = image(button) != 0 ? 1 : 0;
        painter.drawPixmap(0, 0, images[static_cast<std::size_t>(index)]);
    };
}

}  // namespace quarn::console::ui
