#include "console/ui/command_faces.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>

#include "widgets/fonts.h"
#include "widgets/skin_button.h"

namespace quarn::console::ui {
namespace {

// Dark pixels (text) in a column range of the caption's line.
int TextInkIn(const QImage& image, int left, int right) {
    int ink = 0;
    for (int y = 21; y < 35 && y < image.height(); ++y) {
        for (int x = left; x < right && x < image.width(); ++x) {
            ink += qGray(image.pixel(x, y)) < 80 ? 1 : 0;
        }
    }
    return ink;
}

QImage FaceImage(bool measuring, bool stopping) {
    widgets::SkinButton button;
    button.resize(260, 37);
    button.SetPainter(
        StartStopFace([=] { return measuring; }, [] { return false; }, [=] { return stopping; }));
    return button.grab().toImage();
}

// A Stop pressed before the first second waits for it; the face says so.
TEST(StartStopFace, SaysStoppingWhileAStopWaits) {
    const QFontMetrics metrics(widgets::GulimFont(12));
    const int stoppingEnd = 34 + metrics.horizontalAdvance(QStringLiteral("Stopping..."));
    const int stopEnd = 34 + metrics.horizontalAdvance(QStringLiteral("Stop measurement"));
    ASSERT_LT(stoppingEnd + 4, stopEnd);

    const QImage waiting = FaceImage(true, true);
    const QImage measuring = FaceImage(true, false);
    EXPECT_GT(TextInkIn(waiting, 34, stoppingEnd), 20);
    EXPECT_EQ(TextInkIn(waiting, stoppingEnd + 2, stopEnd + 4), 0);
    EXPECT_GT(TextInkIn(measuring, stoppingEnd + 2, stopEnd), 20);
    // "Stopping..." and "Stop measurement" share only their first four letters.
    const int stopPrefixEnd = 34 + metrics.horizontalAdvance(QStringLiteral("Stop"));
    EXPECT_NE(waiting.copy(stopPrefixEnd, 21, stoppingEnd - stopPrefixEnd, 14),
              measuring.copy(stopPrefixEnd, 21, stoppingEnd - stopPrefixEnd, 14));
    // Idle, a waiting stop cannot show.
    EXPECT_EQ(FaceImage(false, true), FaceImage(false, false));
}

}  // namespace
}  // namespace quarn::console::ui
