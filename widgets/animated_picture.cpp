#include "widgets/animated_picture.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <optional>

namespace quarn::widgets {

namespace {

constexpr int kMaxSide = 4096;

// The block layout of a GIF, walked only to find each image's rectangle, delay and
// disposal and to cut it out as a one-frame GIF; pixels are decoded by Qt.
struct GifFrameBlock {
    QByteArray control;  // graphic control extension (8 bytes) or empty
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int imageStart = 0;  // offset of the 0x2C image descriptor
    int imageEnd = 0;    // one past the image's last data sub-block
    int delay = 0;
    int disposal = 0;
};

struct GifLayout {
    int headerEnd = 0;  // signature, screen descriptor and global colour table
    std::vector<GifFrameBlock> frames;
};

int Word(const QByteArray& d, int at) {
    return static_cast<unsigned char>(d[at]) | (static_cast<unsigned char>(d[at + 1]) << 8);
}

int Byte(const QByteArray& d, int at) {
    return static_cast<unsigned char>(d[at]);
}

// Skips data sub-blocks from `at`; returns the offset after the terminator or -1.
int SkipSubBlocks(const QByteArray& d, int at) {
    while (at < d.size()) {
        const int length = Byte(d, at);
        ++at;
        if (length == 0) {
            return at;
        }
        at += length;
    }
    return -1;
}

std::optional<GifLayout> ReadGifLayout(const QByteArray& d) {
    if (d.size() < 13 || !(d.startsWith("GIF87a") || d.startsWith("GIF89a"))) {
        return std::nullopt;
    }
    GifLayout layout;
    int at = 13;
    const int packed = Byte(d, 10);
    if (packed & 0x80) {
        at += 3 * (1 << ((packed & 0x07) + 1));
    }
    layout.headerEnd = at;
    QByteArray pendingControl;
    while (at < d.size()) {
        const int kind = Byte(d, at);
        if (kind == 0x3B) {
            break;
        }
        if (kind == 0x21) {
            if (at + 2 > d.size()) {
                return std::nullopt;
            }
            if (Byte(d, at + 1) == 0xF9 && at + 8 <= d.size() && Byte(d, at + 2) == 4) {
                pendingControl = d.mid(at, 8);
            }
            at = SkipSubBlocks(d, at + 2);
        } else if (kind == 0x2C) {
            if (at + 10 > d.size()) {
                return std::nullopt;
            }
            GifFrameBlock frame;
            frame.imageStart = at;
            frame.left = Word(d, at + 1);
            frame.top = Word(d, at + 3);
            frame.width = Word(d, at + 5);
            frame.height = Word(d, at + 7);
            const int imagePacked = Byte(d, at + 9);
            at += 10;
            if (imagePacked & 0x80) {
                at += 3 * (1 << ((imagePacked & 0x07) + 1));
            }
            at += 1;  // LZW minimum code size
            if (at > d.size()) {
                return std::nullopt;
            }
            at = SkipSubBlocks(d, at);
            if (at < 0) {
                return std::nullopt;
            }
            frame.imageEnd = at;
            frame.control = pendingControl;
            if (!pendingControl.isEmpty()) {
                frame.disposal = (Byte(pendingControl, 3) >> 2) & 0x07;
                frame.delay = Word(pendingControl, 4);
            }
            pendingControl.clear();
            layout.frames.push_back(frame);
        } else {
            return std::nullopt;
        }
        if (at < 0) {
            return std::nullopt;
        }
    }
    return layout;
}

// One frame as a GIF of its own size at (0, 0), so the decoder returns just its pixels.
QByteArray OneFrameGif(const QByteArray& d, const GifLayout& layout, const GifFrameBlock& frame) {
    QByteArray gif = d.left(layout.headerEnd);
    gif[6] = static_cast<char>(frame.width & 0xFF);
    gif[7] = static_cast<char>(frame.width >> 8);
    gif[8] = static_cast<char>(frame.height & 0xFF);
    gif[9] = static_cast<char>(frame.height >> 8);
    if (!frame.control.isEmpty()) {
        QByteArray control = frame.control;
        control[3] = static_cast<char>(Byte(control, 3) & ~0x1C);  // no disposal inside
        gif += control;
    }
    QByteArray image = d.mid(frame.imageStart, frame.imageEnd - frame.imageStart);
    image[1] = image[2] = image[3] = image[4] = 0;
    gif += image;
    gif += char(0x3B);
    return gif;
}

QImage Decode(const QByteArray& data) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QImage image = reader.read();
    return image.isNull() ? image : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace

AnimatedPicture::AnimatedPicture(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &AnimatedPicture::NextFrame);
}

AnimatedPicture::~AnimatedPicture() {
    Stop();
}

int AnimatedPicture::FrameWaitMs(int delayHundredths) {
    return delayHundredths > 4 ? delayHundredths * 10 : 100;
}

void AnimatedPicture::SetBackgroundMode(int mode) {
    backgroundMode_ = mode;
}

bool AnimatedPicture::LoadFromFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Unload();
        return false;
    }
    return LoadFromData(file.readAll());
}

bool AnimatedPicture::LoadFromData(const QByteArray& data) {
    Unload();
    const std::optional<GifLayout> layout = ReadGifLayout(data);
    if (layout && layout->frames.size() > 1) {
        pictureSize_ = QSize(Word(data, 6), Word(data, 8));
        for (const GifFrameBlock& block : layout->frames) {
            if (block.width <= 0 || block.height <= 0) {
                continue;
            }
            QImage image = Decode(OneFrameGif(data, *layout, block));
            if (image.isNull()) {
                continue;  // a frame that does not decode is skipped
            }
            frames_.push_back(
                {std::move(image), QPoint(block.left, block.top), block.delay, block.disposal});
        }
        if (frames_.empty()) {
            return false;
        }
        if (frames_.size() == 1) {
            still_ = frames_.front().image;
            frames_.clear();
        }
    } else {
        still_ = Decode(data);
        if (still_.isNull()) {
            return false;
        }
        pictureSize_ = still_.size();
    }
    if (pictureSize_.isEmpty()) {
        pictureSize_ = still_.isNull() ? QSize(1, 1) : still_.size();
    }
    if (pictureSize_.width() > kMaxSide || pictureSize_.height() > kMaxSide) {
        // A control of this kind never shows more; refuse rather than allocate gigabytes.
        Unload();
        return false;
    }
    PrepareSurface();
    return true;
}

void AnimatedPicture::PrepareSurface() {
    background_ = backgroundMode_ == 25 ? QColor(0xFA, 0xFA, 0xFA) : QColor(Qt::white);
    resize(pictureSize_);
    surface_ = QImage(pictureSize_, QImage::Format_ARGB32_Premultiplied);
    surface_.fill(background_);
    update();
}

void AnimatedPicture::Draw() {
    if (frames_.size() > 1) {
        Stop();
        surface_.fill(background_);
        ShowFrame(0);
        return;
    }
    if (surface_.isNull()) {
        return;
    }
    surface_.fill(background_);
    if (!still_.isNull()) {
        QPainter painter(&surface_);
        painter.drawImage(0, 0, still_);
    }
    update();
}

void AnimatedPicture::Stop() {
    timer_.stop();
}

void AnimatedPicture::Unload() {
    Stop();
    frames_.clear();
    still_ = QImage();
    saved_ = QImage();
    current_ = -1;
}

void AnimatedPicture::ShowFrame(int index) {
    const Frame& frame = frames_[static_cast<std::size_t>(index)];
    current_ = index;
    if (frame.disposal == 3) {
        saved_ = surface_.copy(QRect(frame.offset, frame.image.size()));
    }
    {
        QPainter painter(&surface_);
        painter.drawImage(frame.offset, frame.image);
    }
    update();
    timer_.start(FrameWaitMs(frame.delay));
}

void AnimatedPicture::DisposeFrame(int index) {
    const Frame& frame = frames_[static_cast<std::size_t>(index)];
    const QRect area(frame.offset, frame.image.size());
    if (frame.disposal == 2) {
        QPainter painter(&surface_);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(area, background_);
    } else if (frame.disposal == 3 && !saved_.isNull()) {
        QPainter painter(&surface_);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(area.topLeft(), saved_);
    }
}

void AnimatedPicture::NextFrame() {
    if (current_ < 0 || frames_.empty()) {
        return;
    }
    DisposeFrame(current_);
    int next = current_ + 1;
    if (next >= static_cast<int>(frames_.size())) {
        // Endless loop, whatever the file's loop count says.
        surface_.fill(background_);
        next = 0;
    }
    ShowFrame(next);
}

void AnimatedPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (surface_.isNull()) {
        painter.fillRect(rect(), background_);
        return;
    }
    painter.drawImage(0, 0, surface_);
}

}  // namespace quarn::widgets
