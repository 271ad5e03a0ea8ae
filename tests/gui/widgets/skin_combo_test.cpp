#include <gtest/gtest.h>
#include <QAbstractItemView>
#include <QImage>
#include <QPainter>
#include <QTest>

#include "widgets/skin_combo.h"

namespace quarn::widgets {
namespace {

bool HasBlackish(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                return true;
            }
        }
    }
    return false;
}

TEST(SkinCombo, FramesAndTheSelectedItem) {
    SkinCombo combo;
    combo.addItems({QStringLiteral("TCP"), QStringLiteral("UDP")});
    combo.resize(56, 20);
    const QImage image = combo.grab().toImage();
    EXPECT_EQ(image.pixelColor(0, 0), QColor(0xD9, 0xD9, 0xD9));
    EXPECT_EQ(image.pixelColor(55, 19), QColor(0xD9, 0xD9, 0xD9));
    EXPECT_EQ(image.pixelColor(1, 1), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(combo.DropButtonRect().topLeft()), QColor(Qt::white));
    EXPECT_TRUE(HasBlackish(image, QRect(3, 3, 30, 14)));  // "TCP"
}

TEST(SkinCombo, NoItemDrawnWithoutASelection) {
    SkinCombo combo;
    combo.addItems({QStringLiteral("TCP"), QStringLiteral("UDP")});
    combo.setCurrentIndex(-1);
    combo.resize(56, 20);
    const QImage image = combo.grab().toImage();
    EXPECT_FALSE(HasBlackish(image, QRect(2, 2, 56 - 4 - SkinCombo::kDropButtonWidth, 16)));

    QImage canvas(40, 15, QImage::Format_RGB32);
    canvas.fill(Qt::red);
    {
        QPainter p(&canvas);
        combo.DrawItem(p, canvas.rect(), -1, true, true);
    }
    EXPECT_EQ(canvas.pixelColor(5, 5), QColor(Qt::red));
}

TEST(SkinCombo, ItemColoursAndTextOffset) {
    SkinCombo combo;
    combo.addItems({QStringLiteral("TCP"), QStringLiteral("UDP")});
    const struct {
        bool selected;
        bool enabled;
        QColor fill;
    } cases[] = {{true, true, QColor(0xD6, 0xDD, 0xB9)},
                 {true, false, QColor(0xD6, 0xDD, 0xB9)},
                 {false, false, QColor(0xF1, 0xF1, 0xF1)},
                 {false, true, QColor(Qt::white)}};
    for (const auto& c : cases) {
        QImage canvas(56, SkinCombo::kItemHeight, QImage::Format_RGB32);
        canvas.fill(Qt::red);
        {
            QPainter p(&canvas);
            combo.DrawItem(p, canvas.rect(), 1, c.selected, c.enabled);
        }
        EXPECT_EQ(canvas.pixelColor(0, 0), c.fill);
        EXPECT_EQ(canvas.pixelColor(55, 14), c.fill);
        // Text starts three pixels in: nothing dark in the first three columns.
        EXPECT_FALSE(HasBlackish(canvas, QRect(0, 0, 3, 15)));
        EXPECT_TRUE(HasBlackish(canvas, QRect(3, 2, 30, 13)));
    }
    // The popup rows are 15 pixels high and the list drops below the control.
    combo.resize(56, 20);
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
    combo.showPopup();
    EXPECT_EQ(combo.view()->sizeHintForRow(0), SkinCombo::kItemHeight);
    EXPECT_EQ(combo.view()->window()->geometry().top(), combo.mapToGlobal(QPoint(0, 20)).y());
    combo.hidePopup();
}

}  // namespace
}  // namespace quarn::widgets
