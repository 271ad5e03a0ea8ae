#include <gtest/gtest.h>
#include <QApplication>
#include <QEnterEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QTest>

#include "widgets/artwork.h"
#include "widgets/fonts.h"
#include "widgets/skin_button.h"

namespace quarn::widgets {
namespace {

void SendEnter(QWidget& w, QPointF at) {
    QEnterEvent event(at, w.mapToGlobal(at), w.mapToGlobal(at));
    QApplication::sendEvent(&w, &event);
}

void SendLeave(QWidget& w) {
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(&w, &event);
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
  public:
    explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
    int count = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

void SendMove(QWidget& w, QPointF at) {
    QMouseEvent event(QEvent::MouseMove, at, w.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&w, &event);
}

TEST(SkinButton, RepaintsOnceOnEnterAndOnceOnLeaveNotOnMoves) {
    SkinButton button;
    button.resize(60, 20);
    button.SetPainter([](QPainter& p, const SkinButton& b) {
        p.fillRect(b.rect(), b.IsHovered() ? QColor(0xA7, 0xBD, 0x58) : QColor(0x9A, 0xB1, 0x4B));
    });
    PaintCounter paints(button);
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    // The offscreen pointer may start over the window; begin from "outside".
    SendLeave(button);
    QApplication::processEvents();
    const int before = paints.count;
    EXPECT_FALSE(button.IsHovered());

    SendEnter(button, {5, 5});
    QApplication::processEvents();
    EXPECT_TRUE(button.IsHovered());
    EXPECT_EQ(paints.count, before + 1);

    for (int x = 6; x < 50; x += 4) {
        SendMove(button, {static_cast<double>(x), 8});
        QApplication::processEvents();
    }
    EXPECT_EQ(paints.count, before + 1);
    // grab() paints once more itself.
    EXPECT_EQ(button.grab().toImage().pixelColor(10, 10), QColor(0xA7, 0xBD, 0x58));
    const int afterGrab = paints.count;

    SendLeave(button);
    QApplication::processEvents();
    EXPECT_FALSE(button.IsHovered());
    EXPECT_EQ(paints.count, afterGrab + 1);
    // A second leave without an enter changes nothing.
    SendLeave(button);
    QApplication::processEvents();
    EXPECT_EQ(paints.count, afterGrab + 1);
    EXPECT_EQ(button.grab().toImage().pixelColor(10, 10), QColor(0x9A, 0xB1, 0x4B));
}

// The corner close button of the help and log windows: the strip's first frame, its
// second while the pointer is over it.
TEST(SkinButton, SmallCloseShowsTheCloseStripLitWhileHovered) {
    SkinButton button;
    button.resize(kCaptionButtonSize, kCaptionButtonSize);
    button.SetPainter(PaintSmallClose);
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    const auto frame = [](int index) {
        return StripImage(QString::fromLatin1(kCloseSmallStrip), index, kCaptionButtonSize)
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    ASSERT_NE(frame(0), frame(1));
    SendLeave(button);
    QApplication::processEvents();
    EXPECT_EQ(button.grab().toImage().convertToFormat(QImage::Format_RGB32), frame(0));
    SendEnter(button, {5, 5});
    QApplication::processEvents();
    EXPECT_EQ(button.grab().toImage().convertToFormat(QImage::Format_RGB32), frame(1));
}

TEST(SkinButton, ClickIsReportedWithoutAPainter) {
    SkinButton button;
    button.resize(30, 15);
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    int clicks = 0;
    QObject::connect(&button, &QAbstractButton::clicked, [&] { ++clicks; });
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(clicks, 1);
}

TEST(Fonts, GulimAndTahomaDrawKorean) {
    for (const QFont& font : {GulimFont(12), TahomaFont(25)}) {
        const QFontInfo info(font);
        EXPECT_NE(info.family().toLower(), QStringLiteral("gulim"));
        const QRawFont raw = QRawFont::fromFont(font, QFontDatabase::Korean);
        ASSERT_TRUE(raw.isValid()) << info.family().toStdString();
        EXPECT_TRUE(raw.supportsCharacter(QChar(0xD604))) << info.family().toStdString();  // 현
        EXPECT_TRUE(raw.supportsCharacter(QChar('A')));
    }
    EXPECT_EQ(GulimFont(12).pixelSize(), 12);
    EXPECT_EQ(TahomaFont(25).pixelSize(), 25);
}

TEST(Artwork, ImagesHaveTheirSizes) {
    InitArtwork();
    const struct {
        const char* path;
        int w;
        int h;
    } images[] = {{kTitleIntro, 591, 32},
                  {kTitleMain, 155, 22},
                  {kLogo, 277, 178},
                  {kStartStopStrip, 50, 25},
                  {kEndPointButtonsStrip, 56, 14},
                  {kAddPairIcon, 10, 10},
                  {kDeletePairIcon, 10, 10},
                  {kNoticeIconsStrip, 78, 24},
                  {kBusyAnimation, 21, 21},
                  {kCaptionCloseStrip, 36, 12},
                  {kCloseSmallStrip, 24, 12},
                  {kFileMenuStrip, 28, 15},
                  {kTotalToggleStrip, 90, 19},
                  {kArrowSmall, 10, 9},
                  {kSwapStrip, 40, 20},
                  {kTitleHelp, 816, 31}};
    for (const auto& image : images) {
        const QImage loaded(QString::fromLatin1(image.path));
        ASSERT_FALSE(loaded.isNull()) << image.path;
        EXPECT_EQ(loaded.size(), QSize(image.w, image.h)) << image.path;
    }
    for (int k = 0; k <= 16; ++k) {
        EXPECT_EQ(QImage(MarkerPath(k, 6)).size(), QSize(6, 6)) << k;
        EXPECT_EQ(QImage(MarkerPath(k, 8)).size(), QSize(8, 8)) << k;
    }
    EXPECT_EQ(QImage(MarkerPath(0, 6)).pixelColor(2, 2), QColor(0, 0, 0));
    EXPECT_EQ(QImage(MarkerPath(1, 6)).pixelColor(2, 2), QColor(0x57, 0x81, 0x01));
    for (int n = 2; n <= 16; ++n) {
        EXPECT_EQ(QImage(BadgePath(n)).size(), QSize(15, 9)) << n;
    }
    EXPECT_TRUE(BadgePath(1).isEmpty());
    EXPECT_TRUE(BadgePath(17).isEmpty());
    EXPECT_FALSE(ConsoleIcon().availableSizes().isEmpty());
    EXPECT_EQ(QImage(ConsoleIconPath(32)).size(), QSize(32, 32));
    EXPECT_EQ(QImage(EndPointIconPath(256)).size(), QSize(256, 256));
}

TEST(Artwork, StripImageCutsAndKeysOutTheTransparentColour) {
    const QImage zero =
        StripImage(kStartStopStrip, 0, kStartStopSize, kStartStopTransparent).toImage();
    const QImage one =
        StripImage(kStartStopStrip, 1, kStartStopSize, kStartStopTransparent).toImage();
    ASSERT_EQ(zero.size(), QSize(25, 25));
    ASSERT_EQ(one.size(), QSize(25, 25));
    EXPECT_EQ(zero.pixelColor(0, 0).alpha(), 0);  // corner: the key colour
    EXPECT_EQ(zero.pixelColor(12, 3).alpha(), 255);
    EXPECT_NE(zero, one);
    const QImage search =
        StripImage(kEndPointButtonsStrip, 2, 14, kEndPointButtonsTransparent).toImage();
    EXPECT_EQ(search.size(), QSize(14, 14));
    EXPECT_EQ(search.pixelColor(0, 0).alpha(), 0);
    EXPECT_TRUE(StripImage(kEndPointButtonsStrip, 4, 14).isNull());  // past the end
    // Without a key colour the pixels stay as they are.
    EXPECT_EQ(StripImage(kStartStopStrip, 0, 25).toImage().pixelColor(0, 0), kStartStopTransparent);
}

}  // namespace
}  // namespace quarn::widgets
