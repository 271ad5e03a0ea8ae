#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <vector>

namespace quarn::widgets {

// A picture control that plays an animated GIF (or shows any other image as a still).
// Frames are decoded by Qt's image reader one at a time; timing, disposal and the
// endless loop are this control's own. A QTimer on the window's thread drives it.
class AnimatedPicture : public QWidget {
    Q_OBJECT

  public:
    struct Frame {
        QImage image;  // the frame's own rectangle
        QPoint offset;
        int delay = 0;     // hundredths of a second
        int disposal = 0;  // 2: background, 3: restore previous
    };

    explicit AnimatedPicture(QWidget* parent = nullptr);
    ~AnimatedPicture() override;

    bool LoadFromData(const QByteArray& data);
    bool LoadFromFile(const QString& path);  // also ":/..." resources
    void Draw();                             // starts the animation or shows the still
    void Stop();
    void Unload();
    // 25: the notice panel's #FAFAFA background; anything else #FFFFFF. Set before loading.
    void SetBackgroundMode(int mode);

    bool IsPlaying() const { return timer_.isActive(); }
    // How long the frame on show stays (ms); meaningful while playing.
    int CurrentWaitMs() const { return timer_.interval(); }
    int FrameCount() const { return static_cast<int>(frames_.size()); }
    const Frame& FrameAt(int index) const { return frames_.at(static_cast<std::size_t>(index)); }
    int CurrentFrame() const { return current_; }
    QColor BackgroundColour() const { return background_; }
    const QImage& Surface() const { return surface_; }
    QSize PictureSize() const { return pictureSize_; }

    // Wait after a frame: its delay in milliseconds, or 100 ms for 4 hundredths or less.
    static int FrameWaitMs(int delayHundredths);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private slots:
    void NextFrame();

  private:
    void PrepareSurface();
    void ShowFrame(int index);
    void DisposeFrame(int index);

    std::vector<Frame> frames_;
    QImage still_;
    QImage surface_;
    QImage saved_;  // the area under a restore-previous frame
    QSize pictureSize_;
    QColor background_{Qt::white};
    int backgroundMode_ = 0;
    int current_ = -1;
    QTimer timer_;
};

}  // namespace quarn::widgets
