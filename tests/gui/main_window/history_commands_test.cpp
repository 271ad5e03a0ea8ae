#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QTest>
#include <chrono>
#include <memory>
#include <string>

#include "console/core/pair_state.h"
#include "console/records/journal_directory.h"
#include "console/records/run_history.h"
#include "console/ui/caption_bar.h"
#include "console/ui/file_panel.h"
#include "console/ui/history_commands.h"
#include "console/ui/notice_panel.h"
#include "console/ui/recent_runs_list.h"
#include "console/ui/window_files.h"
#include "tests/gui/main_window/journalled_run.h"
#include "tests/gui/main_window/window_test_support.h"
#include "tests/gui/named_child.h"
#include "tests/gui/session_window.h"
#include "tests/support/temp_dir.h"
#include "widgets/skin_button.h"

using quarn::test::NamedChild;

namespace quarn::gui_test {
namespace {

using console::ConsoleData;
using console::PairRecord;
using console::PairState;
using console::ui::HistoryCommands;
using console::ui::MainWindow;

class HistoryCommandsTest : public ::testing::Test {
  protected:
    // A run of two pairs journalled for `seconds` seconds, an hour ago; pair 1 sends
    // 100 + s Mbit/s in second s, pair 2 50.
    void WriteRun(const std::string& id, int seconds, bool finished) {
        const std::vector<JournalledPair> pairs = {
            {{"198.18.1.1", "198.18.2.1"}, [](int s) { return 100.0f + static_cast<float>(s); }},
            {{"198.18.1.2", "198.18.2.2"}, [](int) { return 50.0f; }}};
        ASSERT_TRUE(WriteJournalledRun(history.Path(), id, seconds, pairs, false, finished));
    }

    std::unique_ptr<MainWindow> Make(bool offerRecovery) {
        MainWindow::Options options;
        options.introTime = std::chrono::milliseconds(1);
        options.offerRecovery = offerRecovery;
        console::SessionOptions session;
        session.historyDir = history.Path();
        auto window = std::make_unique<SessionWindow>(std::move(session), options);
        ShowMain(*window);
        return window;
    }

    test_support::TempDir history;
};

TEST_F(HistoryCommandsTest, YesRestoresTheRunThatDidNotFinishAsAStoppedRun) {
    WriteRun("20261209-010000-0001", 40, true);
    WriteRun("20261209-020000-0002", 25, false);
    const auto unfinished = console::records::FindRun(history.Path(), "20261209-020000-0002");
    ASSERT_TRUE(unfinished);
    auto window = Make(true);

    ASSERT_TRUE(NoticeShown(*window));
    EXPECT_TRUE(window->Notice()->Asking());
    EXPECT_EQ(NoticeText(*window).toStdString(), "Recover the measurement of\n" +
                                                     console::records::RunStartText(*unfinished) +
                                                     " that did not finish?");
    EXPECT_TRUE(NamedChild<widgets::SkinButton>(*window->Notice(), "yes")->isVisible());
    // Both lines inside the panel: the date's digits end before its right edge.
    const QImage panel = Grab(*window->Notice());
    EXPECT_EQ(InkIn(panel, QRect(290, 30, 8, 50), PixelAt(panel, 292, 28)), 0);
    AnswerQuit(*window, true);

    EXPECT_FALSE(NoticeShown(*window));
    EXPECT_FALSE(window->Quitting());
    const ConsoleData& data = window->Data();
    EXPECT_EQ(data.ticks, 25);
    ASSERT_EQ(data.table.PairCount(), 2);
    EXPECT_EQ(data.table[1].figures.state, PairState::Stopped);
    EXPECT_EQ(data.table[1].figures.maxText, "125.00");
    EXPECT_EQ(data.table[2].figures.averageText, "50.00");
    ASSERT_EQ(data.chart.Series().size(), 3u);
    EXPECT_FALSE(data.chart.Series()[1].empty());
    // A recovered run has no file yet: Save will ask for one.
    EXPECT_EQ(window->Files().Session().CurrentFilePath(), "");
}

TEST_F(HistoryCommandsTest, NoKeepsTheRunInTheHistoryAndNothingChanges) {
    WriteRun("20261209-020000-0002", 25, false);
    auto window = Make(true);
    ASSERT_TRUE(NoticeShown(*window));
    AnswerQuit(*window, false);
    EXPECT_FALSE(NoticeShown(*window));
    EXPECT_FALSE(window->Quitting());
    EXPECT_EQ(window->Data().table.PairCount(), 0);
    const auto kept = console::records::FindRun(history.Path(), "20261209-020000-0002");
    ASSERT_TRUE(kept);
    EXPECT_FALSE(kept->finished);
}

TEST_F(HistoryCommandsTest, NothingIsOfferedWhenEveryRunFinished) {
    WriteRun("20261209-010000-0001", 40, true);
    auto window = Make(true);
    EXPECT_FALSE(NoticeShown(*window));
    EXPECT_FALSE(window->Records().OfferRecovery());
}

TEST_F(HistoryCommandsTest, RecentRunsListsTheNewestFirstAndOpensOneAsOpenDoes) {
    WriteRun("20261209-010000-0001", 40, true);
    WriteRun("20261209-020000-0002", 12, false);
    auto window = Make(false);
    EXPECT_FALSE(NoticeShown(*window));
    console::ui::RecentRunsList* recent =
        NamedChild<console::ui::RecentRunsList>(*window, "recentRuns");
    EXPECT_FALSE(recent->isVisible());

    Click(window->FileMenuButton());
    ASSERT_TRUE(window->Files().Panel()->isVisible());
    ASSERT_TRUE(recent->isVisible());
    ASSERT_EQ(recent->count(), 3);
    EXPECT_EQ(recent->item(0)->text(), "Recent runs");
    EXPECT_EQ(recent->RunIdAt(1), "20261209-020000-0002");
    EXPECT_EQ(recent->RunIdAt(2), "20261209-010000-0001");
    EXPECT_TRUE(recent->item(1)->text().contains("0:00:12  2 pairs"));
    EXPECT_TRUE(recent->item(1)->text().contains("did not finish"));
    EXPECT_TRUE(recent->item(2)->text().contains("0:00:40  2 pairs"));
    // Beside the panel, not over it.
    EXPECT_FALSE(recent->geometry().intersects(window->Files().Panel()->geometry()));

    // A click on the finished run: the panel closes and the run is shown.
    QTest::mouseClick(recent->viewport(), Qt::LeftButton, {},
                      recent->visualItemRect(recent->item(2)).center());
    QApplication::processEvents();
    EXPECT_FALSE(window->Files().Panel()->isVisible());
    EXPECT_FALSE(recent->isVisible());
    EXPECT_EQ(window->Data().ticks, 40);
    ASSERT_EQ(window->Data().table.PairCount(), 2);
    EXPECT_EQ(window->Data().table[1].figures.maxText, "140.00");
    EXPECT_EQ(window->Data().table[2].figures.averageText, "50.00");

    // The title line opens nothing.
    Click(window->FileMenuButton());
    QTest::mouseClick(recent->viewport(), Qt::LeftButton, {},
                      recent->visualItemRect(recent->item(0)).center());
    QApplication::processEvents();
    EXPECT_TRUE(window->Files().Panel()->isVisible());
    EXPECT_EQ(window->Data().ticks, 40);
}

}  // namespace
}  // namespace quarn::gui_test
