#include "console/ui/notice_panel.h"

#include <gtest/gtest.h>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <thread>

#include "console/core/console_data.h"
#include "console/ui/qt_dispatcher.h"
#include "tests/gui/console_dialogs/dialog_pixels.h"
#include "tests/gui/named_child.h"
#include "widgets/animated_picture.h"
#include "widgets/skin_button.h"

using quarn::test::NamedChild;

namespace quarn::console::ui {
namespace {

using testing::AnyPixelOtherThan;
using testing::Grab;
using testing::kDialogBackground;
using testing::KeepForReview;

using quarn::console::NoticeKind;

// A stand-in main window with one control of its own.
struct MainWindow {
    MainWindow() : control(&window), panel(&window) {
        window.resize(1115, 631);
        control.setGeometry(10, 10, 80, 24);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    QWidget window;
    QPushButton control;
    NoticePanel panel;
};

TEST(NoticePanelTest, EachKindHasItsTextIconAndButtons) {
    struct Case {
        NoticeKind kind;
        const char* given;
        const char* shown;
        int icon;
        bool yes;
        const char* confirm;  // nullptr: hidden
    };
    const Case cases[] = {
        {NoticeKind::Completed, "ignored", "The current measurement is completed.", 0, false,
         "Confirm"},
        {NoticeKind::Quit, "ignored", "Are you sure to quit?", 1, true, "No"},
        {NoticeKind::Message, "Select pair to delete.", "Select pair to delete.", 2, false,
         "Confirm"},
        {NoticeKind::Progress, "Saving...", "Saving...", -1, false, nullptr},
        {NoticeKind::Info, "Saved.", "Saved.", 0, false, "Confirm"},
    };
    for (const Case& c : cases) {
        MainWindow main;
        main.panel.ShowNotice(c.kind, QString::fromLatin1(c.given));
        SCOPED_TRACE(c.shown);
        EXPECT_TRUE(main.panel.isVisible());
        EXPECT_EQ(main.panel.Text(), QString::fromLatin1(c.shown));
        EXPECT_EQ(main.panel.Icon(), c.icon);
        EXPECT_EQ(NamedChild<widgets::SkinButton>(main.panel, "yes")->isVisible(), c.yes);
        EXPECT_EQ(NamedChild<widgets::SkinButton>(main.panel, "confirm")->isVisible(),
                  c.confirm != nullptr);
        if (c.confirm) {
            EXPECT_EQ(NamedChild<widgets::SkinButton>(main.panel, "confirm")->text(),
                      QString::fromLatin1(c.confirm));
        }
        const bool progress = c.kind == NoticeKind::Progress;
        EXPECT_EQ(NamedChild<widgets::AnimatedPicture>(main.panel, "noticeAnimation")->isVisible(),
                  progress);
        EXPECT_EQ(NamedChild<widgets::AnimatedPicture>(main.panel, "noticeAnimation")->IsPlaying(),
                  progress);

        const QImage image = Grab(main.panel);
        KeepForReview(image, QStringLiteral("notice_%1").arg(static_cast<int>(c.kind)));
        KeepForReview(Grab(main.window),
                      QStringLiteral("notice_window_%1").arg(static_cast<int>(c.kind)));
        // The icon's own area left of the animation: drawn or plain background.
        EXPECT_EQ(AnyPixelOtherThan(image, QRect(16, 42, 5, 24), kDialogBackground), c.icon >= 0);
        // The text in grey from (47, 49).
        EXPECT_TRUE(AnyPixelOtherThan(image, QRect(47, 49, 120, 14), kDialogBackground));
        EXPECT_EQ(image.pixel(183, 90) == qRgb(0xED, 0xED, 0xED), c.yes);
        EXPECT_EQ(image.pixel(242, 90) == qRgb(0xED, 0xED, 0xED), c.confirm != nullptr);
    }
}

TEST(NoticePanelTest, PaintsItsFrameRulesAndButtonsAtTheirPlaces) {
    MainWindow main;
    main.panel.ShowNotice(NoticeKind::Quit);
    ASSERT_EQ(main.panel.size(), QSize(302, 116));
    const QImage image = Grab(main.panel);
    EXPECT_EQ(image.pixel(150, 0), qRgb(0xD2, 0xD2, 0xD2));    // top edge
    EXPECT_EQ(image.pixel(0, 60), qRgb(0xD2, 0xD2, 0xD2));     // left edge
    EXPECT_EQ(image.pixel(150, 115), qRgb(0x7B, 0x7B, 0x7B));  // bottom edge
    EXPECT_EQ(image.pixel(301, 60), qRgb(0x7B, 0x7B, 0x7B));   // right edge
    for (int x : {6, 150, 296}) {
        EXPECT_EQ(image.pixel(x, 25), qRgb(0xC4, 0xC4, 0xC4)) << x;
        EXPECT_EQ(image.pixel(x, 84), qRgb(0xC4, 0xC4, 0xC4)) << x;
    }
    EXPECT_EQ(image.pixel(5, 25), kDialogBackground);
    EXPECT_EQ(image.pixel(297, 84), kDialogBackground);
    EXPECT_EQ(image.pixel(150, 70), kDialogBackground);
    // Buttons: frame #BFBEBC, face #EDEDED; Confirm (No) at (241, 89), Yes at (182, 89).
    EXPECT_EQ(image.pixel(241, 89), qRgb(0xBF, 0xBE, 0xBC));
    EXPECT_EQ(image.pixel(295, 110), qRgb(0xBF, 0xBE, 0xBC));
    EXPECT_EQ(image.pixel(182, 89), qRgb(0xBF, 0xBE, 0xBC));
    EXPECT_EQ(image.pixel(236, 110), qRgb(0xBF, 0xBE, 0xBC));
    EXPECT_EQ(image.pixel(238, 100), kDialogBackground);  // between the two buttons
    // The black title "Tolvex Quarn Console" in the top strip.
    EXPECT_TRUE(AnyPixelOtherThan(image, QRect(7, 9, 130, 13), kDialogBackground));
    // Centred over the main window, and again after it is resized.
    EXPECT_EQ(main.panel.pos(), QPoint((1115 - 302) / 2, (631 - 116) / 2));
    main.window.resize(1500, 800);
    EXPECT_EQ(main.panel.pos(), QPoint((1500 - 302) / 2, (800 - 116) / 2));

    // A hovered button is filled #F3F8E2.
    QTest::mouseMove(NamedChild<widgets::SkinButton>(main.panel, "confirm"), QPoint(5, 5));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(NamedChild<widgets::SkinButton>(main.panel, "confirm"), &enter);
    EXPECT_EQ(Grab(main.panel).pixel(243, 91), qRgb(0xF3, 0xF8, 0xE2));
}

// The verdict goes under the completed notice in black; the notice text itself stays.
TEST(NoticePanelTest, AVerdictLineSitsUnderTheTextUntilTheNextNotice) {
    MainWindow main;
    main.panel.ShowNotice(NoticeKind::Completed);
    const QImage plain = Grab(main.panel);
    main.panel.SetVerdictLine(QStringLiteral("Verdict: FAIL (1 failed, 2 passed)"));
    EXPECT_EQ(main.panel.Text(), QString::fromLatin1(NoticePanel::kCompletedText));
    const QImage judged = Grab(main.panel);
    KeepForReview(judged, QStringLiteral("notice_verdict"));
    // One line alone sits at 49; with the verdict the two lines start at 40 and 58.
    EXPECT_FALSE(AnyPixelOtherThan(plain, QRect(47, 64, 200, 6), kDialogBackground));
    EXPECT_TRUE(AnyPixelOtherThan(judged, QRect(47, 64, 200, 6), kDialogBackground));
    bool black = false;
    for (int y = 58; y < 72 && !black; ++y)
        for (int x = 47; x < 120 && !black; ++x)
            black = qGray(judged.pixel(x, y)) < 40;
    EXPECT_TRUE(black);

    main.panel.ShowNotice(NoticeKind::Message, QStringLiteral("Cannot open the file."));
    EXPECT_TRUE(main.panel.VerdictLine().isEmpty());
}

// The longest address's question before pairing an unverified EndPoint fits the panel.
TEST(NoticePanelTest, UnverifiedEndPointNoticeFits) {
    MainWindow main;
    main.panel.ShowNotice(NoticeKind::Message,
                          QString::fromStdString(ConsoleData::UnverifiedNotice("255.255.255.255")));
    const QImage image = Grab(main.panel);
    KeepForReview(image, QStringLiteral("notice_unverified"));
    EXPECT_TRUE(AnyPixelOtherThan(image, QRect(47, 30, 200, 45), kDialogBackground));
    EXPECT_FALSE(AnyPixelOtherThan(image, QRect(290, 30, 6, 50), kDialogBackground));
}

TEST(NoticePanelTest, MainWindowGetsNoInputWhileShown) {
    MainWindow main;
    QSignalSpy controlClicks(&main.control, &QPushButton::clicked);
    QSignalSpy closed(&main.panel, &NoticePanel::closed);
    main.panel.ShowNotice(NoticeKind::Message, QStringLiteral("Select End Point 1."));
    QTest::mouseClick(&main.control, Qt::LeftButton);
    QTest::keyClick(&main.control, Qt::Key_Space);
    EXPECT_EQ(controlClicks.count(), 0);

    // A second notice replaces the first; one Confirm hides it.
    main.panel.ShowNotice(NoticeKind::Info, QStringLiteral("Saved."));
    EXPECT_EQ(main.panel.Kind(), NoticeKind::Info);
    QTest::mouseClick(NamedChild<widgets::SkinButton>(main.panel, "confirm"), Qt::LeftButton);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(main.panel.isVisible());
    EXPECT_FALSE(main.panel.Blocking());
    QTest::mouseClick(&main.control, Qt::LeftButton);
    EXPECT_EQ(controlClicks.count(), 1);

    // Other windows keep their input.
    QPushButton other;
    other.show();
    QSignalSpy otherClicks(&other, &QPushButton::clicked);
    main.panel.ShowNotice(NoticeKind::Message, QStringLiteral("x"));
    QTest::mouseClick(&other, Qt::LeftButton);
    EXPECT_EQ(otherClicks.count(), 1);
}

TEST(NoticePanelTest, EnterConfirmsEveryNoticeButTheQuitQuestion) {
    MainWindow main;
    QSignalSpy closed(&main.panel, &NoticePanel::closed);
    QSignalSpy answered(&main.panel, &NoticePanel::quitAnswered);

    main.panel.ShowNotice(NoticeKind::Progress, QStringLiteral("Opening..."));
    EXPECT_TRUE(main.panel.hasFocus());
    QTest::keyClick(&main.panel, Qt::Key_Escape);
    EXPECT_TRUE(main.panel.isVisible());
    QTest::keyClick(&main.panel, Qt::Key_Return);  // also without a visible Confirm
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(main.panel.isVisible());
    // ShowNotice never stops the animation; the file operation does.
    EXPECT_TRUE(NamedChild<widgets::AnimatedPicture>(main.panel, "noticeAnimation")->IsPlaying());
    main.panel.StopProgress();
    EXPECT_FALSE(NamedChild<widgets::AnimatedPicture>(main.panel, "noticeAnimation")->IsPlaying());
    EXPECT_FALSE(NamedChild<widgets::AnimatedPicture>(main.panel, "noticeAnimation")->isVisible());

    main.panel.ShowNotice(NoticeKind::Quit);
    QTest::keyClick(&main.panel, Qt::Key_Return);
    QTest::keyClick(&main.panel, Qt::Key_Escape);
    EXPECT_TRUE(main.panel.isVisible());
    EXPECT_EQ(answered.count(), 0);
    QTest::mouseClick(NamedChild<widgets::SkinButton>(main.panel, "confirm"),
                      Qt::LeftButton);  // "No"
    ASSERT_EQ(answered.count(), 1);
    EXPECT_FALSE(answered.at(0).at(0).toBool());
    EXPECT_EQ(closed.count(), 2);

    main.panel.ShowNotice(NoticeKind::Quit);
    QTest::mouseClick(NamedChild<widgets::SkinButton>(main.panel, "yes"), Qt::LeftButton);
    ASSERT_EQ(answered.count(), 2);
    EXPECT_TRUE(answered.at(1).at(0).toBool());
    EXPECT_EQ(closed.count(), 2);
}

// The keypad's Enter is the same key as Return: it confirms a message, and the quit
// question still waits for a click.
TEST(NoticePanelTest, TheKeypadEnterAnswersLikeReturn) {
    MainWindow main;
    QSignalSpy closed(&main.panel, &NoticePanel::closed);
    QSignalSpy answered(&main.panel, &NoticePanel::quitAnswered);
    main.panel.ShowNotice(NoticeKind::Message, QStringLiteral("x"));
    QTest::keyClick(&main.panel, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_FALSE(main.panel.isVisible());
    EXPECT_EQ(closed.count(), 1);
    main.panel.ShowNotice(NoticeKind::Quit);
    QTest::keyClick(&main.panel, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(main.panel.isVisible());
    EXPECT_EQ(answered.count(), 0);
}

TEST(NoticePanelTest, ShownFromAWorkersBlockingDeliveryWithoutWaitingForTheOperator) {
    MainWindow main;
    QtDispatcher dispatcher;
    std::atomic<bool> delivered{false};
    std::thread worker([&] {
        // The end of a run reaches the window inside the worker's Send.
        dispatcher.Send([&] { main.panel.ShowNotice(NoticeKind::Completed); });
        delivered = true;
    });
    for (int i = 0; i < 500 && !delivered; ++i) {
        QTest::qWait(10);
    }
    worker.join();
    EXPECT_TRUE(delivered.load());
    EXPECT_TRUE(main.panel.isVisible());  // still waiting for the operator
}

}  // namespace
}  // namespace quarn::console::ui
