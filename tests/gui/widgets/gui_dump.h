#pragma once

#include <QImage>
#include <QPainter>
#include <QString>
#include <QWidget>

namespace quarn::widgets::testing {

// Grabs a widget; with QUARN_GUI_DUMP set, also writes it there as <name>.png so the
// pictures can be looked at.
inline QImage GrabAndDump(QWidget& widget, const char* name) {
    const QImage image = widget.grab().toImage();
    const QByteArray folder = qgetenv("QUARN_GUI_DUMP");
    if (!folder.isEmpty()) {
        image.save(QString::fromLocal8Bit(folder) + "/" + QString::fromLatin1(name) + ".png");
    }
    return image;
}

// Colours closer than `tolerance` in every channel.
inline bool Near(QColor a, QColor b, int tolerance = 6) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// `colour` with `alpha` over `under`.
inline QColor Blend(QColor colour, int alpha, QColor under) {
    auto mix = [&](int c, int u) { return (c * alpha + u * (255 - alpha) + 127) / 255; };
    return QColor(mix(colour.red(), under.red()), mix(colour.green(), under.green()),
                  mix(colour.blue(), under.blue()));
}

// Whether any pixel of column x between y0 and y1 is near `colour`.
inline bool ColumnHas(const QImage& image, int x, int y0, int y1, QColor colour,
                      int tolerance = 6) {
    for (int y = std::max(y0, 0); y <= std::min(y1, image.height() - 1); ++y) {
        if (Near(image.pixelColor(x, y), colour, tolerance)) {
            return true;
        }
    }
    return false;
}

// The picture at `path` drawn over `background`, as a widget paints it on that ground.
inline QImage PictureOver(const QString& path, QColor background) {
    const QImage picture(path);
    QImage out(picture.size(), QImage::Format_RGB32);
    out.fill(background);
    QPainter(&out).drawImage(0, 0, picture);
    return out;
}

// Whether `image` shows exactly `picture` with its top left corner at `at`.
inline bool Shows(const QImage& image, QPoint at, const QImage& picture) {
    return !picture.isNull() &&
           image.copy(QRect(at, picture.size())).convertToFormat(QImage::Format_RGB32) == picture;
}

}  // namespace quarn::widgets::testing
