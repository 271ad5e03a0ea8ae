#include <gtest/gtest.h>
#include <QBuffer>
#include <QImage>
#include <QTest>
#include <vector>

#include "widgets/animated_picture.h"
#include "widgets/artwork.h"

namespace quarn::widgets {
namespace {

// Palette of the generated GIFs.
const QColor kWhite(255, 255, 255);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);

struct TestFrame {
    int left = 0;
    int top = 0;
    int width = 1;
    int height = 1;
    std::vector<int> pixels;  // palette indices, row by row
    int delay = 10;
    int disposal = 0;
    int transparent = -1;
};

// Writes a GIF89a with a four-colour table. The LZW stream restarts (clear code) every
// two pixels, so the code width never grows past three bits.
QByteArray MakeGif(int width, int height, const std::vector<TestFrame>& frames, int loopCount = 1) {
    QByteArray gif("GIF89a");
    auto word = [&](int v) {
        gif += char(v & 0xFF);
        gif += char((v >> 8) & 0xFF);
    };
    word(width);
    word(height);
    gif += char(0x81);  // global table, 4 entries
    gif += char(0);
    gif += char(0);
    for (const QColor& c : {kWhite, kRed, kGreen, kBlue}) {
        gif += char(c.red());
        gif += char(c.green());
        gif += char(c.blue());
    }
    gif += QByteArray("\x21\xFF\x0BNETSCAPE2.0\x03\x01", 16);
    word(loopCount);
    gif += char(0);
    for (const TestFrame& f : frames) {
        gif += QByteArray("\x21\xF9\x04", 3);
        gif += char((f.disposal << 2) | (f.transparent >= 0 ? 1 : 0));
        word(f.delay);
        gif += char(f.transparent >= 0 ? f.transparent : 0);
        gif += char(0);
        gif += char(0x2C);
        word(f.left);
        word(f.top);
        word(f.width);
        word(f.height);
        gif += char(0);
        gif += char(2);  // minimum code size
        QByteArray data;
        unsigned bits = 0;
        int count = 0;
        auto put = [&](unsigned code) {
            bits |= code << count;
            count += 3;
            while (count >= 8) {
                data += char(bits & 0xFF);
                bits >>= 8;
                count -= 8;
            }
        };
        for (std::size_t i = 0; i < f.pixels.size(); ++i) {
            if (i % 2 == 0) {
                put(4);
            }
            put(static_cast<unsigned>(f.pixels[i]));
        }
        put(5);
        if (count > 0) {
            data += char(bits & 0xFF);
        }
        for (int at = 0; at < data.size(); at += 255) {
            const QByteArray chunk = data.mid(at, 255);
            gif += char(chunk.size());
            gif += chunk;
        }
        gif += char(0);
    }
    gif += char(0x3B);
    return gif;
}

TestFrame Solid(int left, int top, int w, int h, int index, int delay, int disposal) {
    return {left,  top,      w, h, std::vector<int>(static_cast<std::size_t>(w * h), index),
            delay, disposal, -1};
}

void Next(AnimatedPicture& picture) {
    ASSERT_TRUE(QMetaObject::invokeMethod(&picture, "NextFrame"));
}

TEST(AnimatedPicture, ShortDelaysPlayAtOneHundredMilliseconds) {
    for (int d = 0; d <= 4; ++d) {
        EXPECT_EQ(AnimatedPicture::FrameWaitMs(d), 100) << d;
    }
    EXPECT_EQ(AnimatedPicture::FrameWaitMs(5), 50);
    EXPECT_EQ(AnimatedPicture::FrameWaitMs(25), 250);

    AnimatedPicture picture;
    ASSERT_TRUE(picture.LoadFromData(MakeGif(
        2, 2,
        {Solid(0, 0, 2, 2, 1, 0, 0), Solid(0, 0, 2, 2, 2, 4, 0), Solid(0, 0, 2, 2, 3, 7, 0)})));
    ASSERT_EQ(picture.FrameCount(), 3);
    picture.Draw();
    EXPECT_TRUE(picture.IsPlaying());
    EXPECT_EQ(picture.CurrentWaitMs(), 100);
    Next(picture);
    EXPECT_EQ(picture.CurrentWaitMs(), 100);
    Next(picture);
    EXPECT_EQ(picture.CurrentWaitMs(), 70);
    picture.Stop();
    EXPECT_FALSE(picture.IsPlaying());
}

TEST(AnimatedPicture, DisposalAndEndlessLoop) {
    // Frame 1 is cleared to the background after its time, frame 2 restores what it covered.
    const QByteArray gif = MakeGif(4, 4,
                                   {Solid(0, 0, 4, 4, 1, 10, 0), Solid(1, 1, 2, 2, 3, 10, 2),
                                    Solid(2, 2, 2, 2, 2, 10, 3), Solid(0, 0, 1, 1, 3, 10, 1)},
                                   /*loopCount=*/1);
    AnimatedPicture picture;
    ASSERT_TRUE(picture.LoadFromData(gif));
    ASSERT_EQ(picture.FrameCount(), 4);
    EXPECT_EQ(picture.PictureSize(), QSize(4, 4));
    EXPECT_EQ(picture.size(), QSize(4, 4));
    EXPECT_EQ(picture.FrameAt(1).offset, QPoint(1, 1));
    EXPECT_EQ(picture.FrameAt(1).disposal, 2);
    EXPECT_EQ(picture.FrameAt(2).disposal, 3);

    picture.Draw();
    const QImage* s = &picture.Surface();
    EXPECT_EQ(s->pixelColor(3, 3), kRed);
    Next(picture);
    EXPECT_EQ(picture.CurrentFrame(), 1);
    EXPECT_EQ(s->pixelColor(1, 1), kBlue);
    EXPECT_EQ(s->pixelColor(0, 0), kRed);
    Next(picture);  // frame 1 disposed to the background, frame 2 drawn
    EXPECT_EQ(s->pixelColor(1, 1), kWhite);
    EXPECT_EQ(s->pixelColor(2, 2), kGreen);
    EXPECT_EQ(s->pixelColor(3, 3), kGreen);
    EXPECT_EQ(s->pixelColor(0, 0), kRed);
    Next(picture);  // frame 2 restored what was under it
    EXPECT_EQ(s->pixelColor(2, 2), kWhite);
    EXPECT_EQ(s->pixelColor(3, 3), kRed);
    EXPECT_EQ(s->pixelColor(0, 0), kBlue);
    // Past the last frame: cleared and started again, although the file says one loop.
    for (int round = 0; round < 2; ++round) {
        Next(picture);
        EXPECT_EQ(picture.CurrentFrame(), 0);
        EXPECT_EQ(s->pixelColor(0, 0), kRed);
        EXPECT_EQ(s->pixelColor(1, 1), kRed);
        EXPECT_TRUE(picture.IsPlaying());
        Next(picture);
        Next(picture);
        Next(picture);
        EXPECT_EQ(picture.CurrentFrame(), 3);
    }
    // The widget shows the surface.
    EXPECT_EQ(picture.grab().toImage().pixelColor(0, 0), kBlue);
}

TEST(AnimatedPicture, TransparentPixelsShowTheBackgroundOfTheMode) {
    TestFrame holey = Solid(0, 0, 2, 2, 1, 10, 0);
    holey.pixels = {0, 1, 1, 1};
    holey.transparent = 0;
    const QByteArray gif = MakeGif(2, 2, {holey, Solid(0, 0, 2, 2, 3, 10, 0)});
    AnimatedPicture notice;
    notice.SetBackgroundMode(25);
    ASSERT_TRUE(notice.LoadFromData(gif));
    notice.Draw();
    EXPECT_EQ(notice.BackgroundColour(), QColor(0xFA, 0xFA, 0xFA));
    EXPECT_EQ(notice.Surface().pixelColor(0, 0), QColor(0xFA, 0xFA, 0xFA));
    EXPECT_EQ(notice.Surface().pixelColor(1, 0), kRed);
    AnimatedPicture plain;
    ASSERT_TRUE(plain.LoadFromData(gif));
    plain.Draw();
    EXPECT_EQ(plain.Surface().pixelColor(0, 0), kWhite);
}

TEST(AnimatedPicture, PlaysOnItsOwnAndStopsWhenANewPictureLoads) {
    AnimatedPicture picture;
    ASSERT_TRUE(picture.LoadFromData(
        MakeGif(2, 2, {Solid(0, 0, 2, 2, 1, 5, 0), Solid(0, 0, 2, 2, 2, 5, 0)})));
    picture.show();
    picture.Draw();
    EXPECT_TRUE(QTest::qWaitFor([&] { return picture.CurrentFrame() == 1; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return picture.CurrentFrame() == 0; }, 5000));

    // A still image: no animation, shown as it is.
    QImage still(3, 2, QImage::Format_RGB32);
    still.fill(kBlue);
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    ASSERT_TRUE(still.save(&png, "PNG"));
    ASSERT_TRUE(picture.LoadFromData(png.data()));
    EXPECT_FALSE(picture.IsPlaying());
    EXPECT_EQ(picture.FrameCount(), 0);
    picture.Draw();
    EXPECT_FALSE(picture.IsPlaying());
    EXPECT_EQ(picture.size(), QSize(3, 2));
    EXPECT_EQ(picture.Surface().pixelColor(2, 1), kBlue);
    picture.Unload();
    EXPECT_FALSE(picture.IsPlaying());
}

TEST(AnimatedPicture, BrokenDataIsRefusedWithoutPlaying) {
    AnimatedPicture picture;
    const QByteArray gif =
        MakeGif(4, 4, {Solid(0, 0, 4, 4, 1, 10, 0), Solid(1, 1, 2, 2, 3, 10, 2)});
    EXPECT_FALSE(picture.LoadFromData(QByteArray()));
    EXPECT_FALSE(picture.LoadFromData(QByteArray("GIF89a")));
    EXPECT_FALSE(picture.LoadFromData(QByteArray("not a picture at all")));
    for (int cut = 6; cut < gif.size() - 1; cut += 3) {
        // Cut anywhere: either refused or shown, never a crash or a frame past the data.
        if (picture.LoadFromData(gif.left(cut))) {
            picture.Draw();
            EXPECT_LE(picture.FrameCount(), 2);
        }
    }
    // A logical screen of 65535 x 65535 with tiny frames is refused, not allocated.
    QByteArray huge = gif;
    huge[6] = huge[7] = huge[8] = huge[9] = char(0xFF);
    EXPECT_FALSE(picture.LoadFromData(huge));
    EXPECT_EQ(picture.FrameCount(), 0);
    EXPECT_FALSE(picture.LoadFromFile(QStringLiteral("/nonexistent/busy.gif")));
    picture.Draw();  // nothing loaded: harmless
    EXPECT_FALSE(picture.IsPlaying());
}

TEST(AnimatedPicture, BusyAnimationResourcePlays) {
    InitArtwork();
    AnimatedPicture picture;
    ASSERT_TRUE(picture.LoadFromFile(QString::fromLatin1(kBusyAnimation)));
    EXPECT_EQ(picture.PictureSize(), QSize(21, 21));
    EXPECT_EQ(picture.FrameCount(), 12);
    picture.Draw();
    EXPECT_EQ(picture.CurrentWaitMs(), 80);
    const QImage first = picture.Surface();
    Next(picture);
    EXPECT_NE(picture.Surface(), first);
}

}  // namespace
}  // namespace quarn::widgets
