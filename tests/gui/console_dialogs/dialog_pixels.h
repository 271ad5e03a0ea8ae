#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

namespace quarn::console::ui::testing {

// The dialogs' light grey ground.
inline const QRgb kDialogBackground = qRgb(0xFA, 0xFA, 0xFA);

inline QImage Grab(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// With QUARN_GUI_GRAB_DIR set, keeps the picture for a person to look at.
inline void KeepForReview(const QImage& image, const QString& name) {
    const QString dir = qEnvironmentVariable("QUARN_GUI_GRAB_DIR");
    if (!dir.isEmpty()) {
        image.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
    }
}

inline bool AnyPixelOtherThan(const QImage& image, const QRect& area, QRgb colour) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixel(x, y) != colour) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace quarn::console::ui::testing
