#include "widgets/artwork.h"

#include <QImage>
#include <mutex>

// Outside any namespace: the macro declares the resource's init function.
static void RegisterArtwork() {
    Q_INIT_RESOURCE(quarn);
}

namespace quarn::widgets {

namespace {

constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

QIcon IconOf(QString (*path)(int)) {
    InitArtwork();
    QIcon icon;
    for (int size : kIconSizes) {
        icon.addFile(path(size), QSize(size, size));
    }
    return icon;
}

}  // namespace

void InitArtwork() {
    static std::once_flag once;
    std::call_once(once, [] { RegisterArtwork(); });
}

QString ConsoleIconPath(int size) {
    return QStringLiteral(":/quarn/console_icon_%1.png").arg(size);
}

QString EndPointIconPath(int size) {
    return QStringLiteral(":/quarn/endpoint_icon_%1.png").arg(size);
}

QIcon ConsoleIcon() {
    return IconOf(&ConsoleIconPath);
}

QIcon EndPointIcon() {
    return IconOf(&EndPointIconPath);
}

QString MarkerPath(int index, int size) {
    const QString name =
        index == 0 ? QStringLiteral("all") : QStringLiteral("%1").arg(index, 2, 10, QChar('0'));
    return QStringLiteral(":/quarn/marker_%1_%2.png").arg(name).arg(size == 8 ? 8 : 6);
}

QString BadgePath(int streams) {
    if (streams < 2 || streams > 16) {
        return {};
    }
    return QStringLiteral(":/quarn/badge_%1.png").arg(streams, 2, 10, QChar('0'));
}

QPixmap StripImage(const QString& path, int index, int width, const QColor& transparent) {
    InitArtwork();
    QImage strip(path);
    if (strip.isNull() || width <= 0 || index < 0 || (index + 1) * width > strip.width()) {
        return {};
    }
    QImage image =
        strip.copy(index * width, 0, width, strip.height()).convertToFormat(QImage::Format_ARGB32);
    if (transparent.isValid()) {
        const QRgb key = transparent.rgb() & 0x00FFFFFFu;
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if ((line[x] & 0x00FFFFFFu) == key) {
                    line[x] = 0;
                }
            }
        }
    }
    return QPixmap::fromImage(image);
}

}  // namespace quarn::widgets
