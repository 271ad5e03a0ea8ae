#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "console/files/config_file.h"
#include "console/records/journal_directory.h"
#include "console/records/reference_loading.h"
#include "console/ui/chart_layout.h"
#include "console/ui/chart_widget.h"
#include "console/ui/file_panel.h"
#include "console/ui/history_commands.h"
#include "console/ui/pair_list_model.h"
#include "console/ui/pair_list_widget.h"
#include "console/ui/recent_runs_list.h"
#include "console/ui/reference_commands.h"
#include "console/ui/window_files.h"
#include "tests/gui/main_window/journalled_run.h"
#include "tests/gui/main_window/window_test_support.h"
#include "tests/gui/named_child.h"
#include "tests/gui/session_window.h"
#include "tests/support/temp_dir.h"
#include "widgets/skin_button.h"

namespace quarn::gui_test {
namespace {

using console::ChartMeasure;
using console::ConsoleData;
using console::PairRecord;
using console::ui::ChartWidget;
using console::ui::ReferenceCommands;

// Pair addresses by letter: A and B are the current run's, C is only in a reference.
const std::pair<std::string, std::string> kA{"198.18.1.1", "198.18.2.1"};
const std::pair<std::string, std::string> kB{"198.18.1.2", "198.18.2.2"};
const std::pair<std::string, std::string> kC{"198.18.1.9", "198.18.2.9"};

class ReferenceCommandsTest : public ::testing::Test {
  protected:
    // A finished run of `seconds` seconds in the history, an hour ago.
    void WriteRun(const std::string& id, int seconds, const std::vector<JournalledPair>& pairs,
                  bool udp = false) {
        ASSERT_TRUE(WriteJournalledRun(history.Path(), id, seconds, pairs, udp, true));
    }

    // The current run: A sends 100 + s Mbit/s, B a level 70.
    void WriteCurrent() {
        WriteRun("20261209-030000-0003", 40,
                 {{kA, [](int s) { return 100.0f + static_cast<float>(s); }},
                  {kB, [](int) { return 70.0f; }}});
    }

    std::unique_ptr<MainWindow> Make() {
        MainWindow::Options options;
        options.introTime = std::chrono::milliseconds(1);
        console::SessionOptions session;
        session.historyDir = history.Path();
        auto window = std::make_unique<SessionWindow>(std::move(session), options);
        ShowMain(*window);
        return window;
    }

    static ReferenceCommands& Reference(MainWindow& window) { return window.Records().Reference(); }
    // The reference is read on a thread of its own; its result comes through the events.
    static void AwaitLoad(MainWindow& window) {
        EXPECT_TRUE(WaitFor([&] { return !Reference(window).Loading(); }, 10000));
    }

    // How many pixels of row `value` in the plot carry exactly `colour`, and how many
    // of the plot's background, between the second step and the right end.
    struct RowInk {
        int coloured = 0;
        int background = 0;
    };
    static RowInk InkAt(MainWindow& window, ChartMeasure measure, float value, QColor colour) {
        ChartWidget& chart = *window.Chart();
        const console::ChartModel& model = window.Data().chart;
        const std::vector<console::ScaleBand> bands = model.BandsOf(measure);
        const console::ui::ChartLayout layout(model, bands, chart.width(), chart.height());
        const QImage image = Grab(chart);
        const int y = static_cast<int>(layout.ValueToY(value));
        const int step = static_cast<int>(layout.HorizontalStep());
        RowInk ink;
        for (int x = layout.Plot().left + 2 * step; x < layout.Plot().right - 4; ++x) {
            const QColor pixel = PixelAt(image, x, y);
            ink.coloured += pixel == colour ? 1 : 0;
            ink.background += pixel == QColor(Qt::white) || pixel == QColor(0xF7, 0xF7, 0xF7);
        }
        return ink;
    }

    static void Trigger(MainWindow& window, const char* text) {
        QMenu menu;
        Reference(window).AddActions(menu);
        for (QAction* action : menu.actions()) {
            if (action->text() == QString::fromLatin1(text)) {
                action->trigger();
                return;
            }
        }
        ADD_FAILURE() << "no menu entry " << text;
    }

    test_support::TempDir history;
    test_support::TempDir files;
    const QColor green = ChartWidget::kSeriesPalette[1];
    const QColor yellow = ChartWidget::kSeriesPalette[2];
};

TEST_F(ReferenceCommandsTest, AReferenceRunIsDrawnDashedInItsPairsColourBehindTheCurrentCurves) {
    WriteCurrent();
    // B first: the reference's order is not the current one's. A's reference lies exactly
    // under current B's level curve; B's reference runs alone at 330.
    WriteRun("20261209-010000-0001", 40,
             {{kB, [](int) { return 330.0f; }}, {kA, [](int) { return 70.0f; }}});
    auto window = Make();
    ASSERT_TRUE(window->Records().OpenRun("20261209-030000-0003"));
    EXPECT_EQ(InkAt(*window, ChartMeasure::Throughput, 330.0f, yellow).coloured, 0);

    // Chosen on its Recent runs line.
    Click(window->FileMenuButton());
    auto* recent = quarn::test::NamedChild<console::ui::RecentRunsList>(*window, "recentRuns");
    int line = 1;
    while (line < recent->count() && recent->RunIdAt(line) != "20261209-010000-0001")
        ++line;
    ASSERT_LT(line, recent->count());
    QMenu title;
    recent->AddActions(title, 0);
    EXPECT_TRUE(title.isEmpty());
    QMenu menu;
    recent->AddActions(menu, line);
    ASSERT_EQ(menu.actions().size(), 1);
    EXPECT_EQ(menu.actions()[0]->text(), "Use as reference");
    menu.actions()[0]->trigger();
    QApplication::processEvents();
    EXPECT_FALSE(window->Files().Panel()->isVisible());
    AwaitLoad(*window);
    ASSERT_TRUE(Reference(*window).Model().Active());

    // Dashed: B's colour along its row, with the plot showing through the gaps.
    const RowInk dashed = InkAt(*window, ChartMeasure::Throughput, 330.0f, yellow);
    EXPECT_GT(dashed.coloured, 400);
    EXPECT_GT(dashed.background, 150);
    // Behind: current B's solid line covers A's reference where both run.
    const RowInk level = InkAt(*window, ChartMeasure::Throughput, 70.0f, yellow);
    EXPECT_EQ(InkAt(*window, ChartMeasure::Throughput, 70.0f, green).coloured, 0);
    EXPECT_EQ(level.background, 0);

    // It stays while another run is opened, and goes with "Clear reference".
    ASSERT_TRUE(window->Records().OpenRun("20261209-030000-0003"));
    EXPECT_GT(InkAt(*window, ChartMeasure::Throughput, 330.0f, yellow).coloured, 400);
    Trigger(*window, ReferenceCommands::kClearReference);
    EXPECT_FALSE(Reference(*window).Model().Active());
    EXPECT_EQ(InkAt(*window, ChartMeasure::Throughput, 330.0f, yellow).coloured, 0);
}

TEST_F(ReferenceCommandsTest, TooltipsSetFiguresAgainstTheReferencesPairOfTheSameAddresses) {
    WriteCurrent();
    // A file with fewer and other pairs: an unknown pair first, then B.
    WriteRun("20261209-010000-0001", 40,
             {{kC, [](int) { return 420.0f; }}, {kB, [](int) { return 40.0f; }}});
    ConsoleData saved;
    ASSERT_TRUE(
        console::records::LoadReference("20261209-010000-0001", history.Path(), saved).Ok());
    const std::string file = files.File("lab.config");
    ASSERT_TRUE(console::WriteConfigFile(file, saved).Ok());

    auto window = Make();
    ASSERT_TRUE(window->Records().OpenRun("20261209-030000-0003"));
    Reference(*window).SetFileChooser([&] { return QString::fromStdString(file); });
    Trigger(*window, ReferenceCommands::kCompareWithFile);
    AwaitLoad(*window);
    ASSERT_TRUE(Reference(*window).Model().Active());
    EXPECT_EQ(Reference(*window).Model().Label(), "lab.config");

    console::ui::PairListModel& list = *window->PairList()->Model();
    const QString first = list.data(list.index(0, 0), Qt::ToolTipRole).toString();
    const QString second = list.data(list.index(1, 0), Qt::ToolTipRole).toString();
    EXPECT_TRUE(
        first.endsWith("Reference: lab.config\nNo pair of these addresses in the reference"))
        << first.toStdString();
    EXPECT_TRUE(
        second.contains("Reference: lab.config\n"
                        "Average 70.0 Mbit/s (reference 40.0, +75.0 %)\n"
                        "Minimum 70.0 Mbit/s (reference 40.0, +75.0 %)"))
        << second.toStdString();

    // B's reference is drawn in B's colour; the unknown pair nowhere, not even in A's place.
    EXPECT_GT(InkAt(*window, ChartMeasure::Throughput, 40.0f, yellow).coloured, 400);
    EXPECT_EQ(InkAt(*window, ChartMeasure::Throughput, 420.0f, green).coloured, 0);
    EXPECT_EQ(InkAt(*window, ChartMeasure::Throughput, 420.0f, yellow).coloured, 0);

    // New drops it.
    window->Files().PerformNew();
    EXPECT_FALSE(Reference(*window).Model().Active());
}

// A long run is read away from the window thread: the call returns at once and the
// window goes on serving events until the reference arrives. A higher reference widens
// the throughput scale so its curve is whole, and the scale shrinks again without it.
TEST_F(ReferenceCommandsTest, AReferenceLoadsBesideTheWindowAndWidensTheScale) {
    WriteCurrent();
    WriteRun("20261209-010000-0001", 3600, {{kB, [](int) { return 900.0f; }}});
    auto window = Make();
    ASSERT_TRUE(window->Records().OpenRun("20261209-030000-0003"));
    const console::ChartModel& chart = window->Data().chart;
    ASSERT_FLOAT_EQ(chart.ScaleMaximum(), 500.0f);

    Reference(*window).UseRun("20261209-010000-0001");
    EXPECT_TRUE(Reference(*window).Loading());
    EXPECT_FALSE(Reference(*window).Model().Active());
    AwaitLoad(*window);
    ASSERT_TRUE(Reference(*window).Model().Active());
    EXPECT_FLOAT_EQ(chart.ScaleMaximum(), 1000.0f);
    EXPECT_GT(InkAt(*window, ChartMeasure::Throughput, 900.0f, yellow).coloured, 400);

    // A load that Clear overtakes is dropped when it arrives.
    Trigger(*window, ReferenceCommands::kClearReference);
    EXPECT_FLOAT_EQ(chart.ScaleMaximum(), 500.0f);
    Reference(*window).UseRun("20261209-010000-0001");
    Reference(*window).Clear();
    EXPECT_FALSE(Reference(*window).Loading());
    QTest::qWait(1000);  // about twice what the read takes here
    EXPECT_FALSE(Reference(*window).Model().Active());
    EXPECT_FLOAT_EQ(chart.ScaleMaximum(), 500.0f);
}

TEST_F(ReferenceCommandsTest, ARestoredRunDrawsItsRoundTripAndLossCurves) {
    WriteRun("20261209-030000-0003", 40,
             {{kA, [](int) { return 90.0f; }, [](int) { return 27.0; }, [](int) { return 3.3; }},
              {kB, [](int) { return 70.0f; },
               [](int s) { return s % 2 ? std::optional(13.0) : std::nullopt; }}},
             true);
    auto window = Make();
    ASSERT_TRUE(window->Records().OpenRun("20261209-030000-0003"));
    window->Chart()->SetMeasure(ChartMeasure::Latency);
    const RowInk rtt = InkAt(*window, ChartMeasure::Latency, 27.0f, green);
    EXPECT_EQ(rtt.background, 0);
    EXPECT_GT(rtt.coloured, 400);
    // B's round trips are answered every other second: short stubs with gaps between.
    const RowInk stubs = InkAt(*window, ChartMeasure::Latency, 13.0f, yellow);
    EXPECT_GT(stubs.coloured, 200);
    EXPECT_GT(stubs.background, 200);
    window->Chart()->SetMeasure(ChartMeasure::Loss);
    EXPECT_GT(InkAt(*window, ChartMeasure::Loss, 3.3f, green).coloured, 400);
}

}  // namespace
}  // namespace quarn::gui_test
