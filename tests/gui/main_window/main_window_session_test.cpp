// Whole operator sessions in the main window against real EndPoints and the real iperf,
// in network namespaces: the window lives in host 1 (no EndPoint there, so a pair
// starting at host 1 is run by the Console itself), EndPoints on hosts 2 and 3.
#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <chrono>

#include "console/ui/caption_bar.h"
#include "console/ui/chart_measure_tabs.h"
#include "console/ui/chart_widget.h"
#include "console/ui/endpoint_list_box.h"
#include "console/ui/endpoint_panel.h"
#include "console/ui/instance_raiser.h"
#include "console/ui/main_commands.h"
#include "console/ui/mode_input_filter.h"
#include "console/ui/notice_panel.h"
#include "console/ui/pair_list_widget.h"
#include "console/ui/pair_menu.h"
#include "platform/single_instance.h"
#include "tests/e2e/namespace_processes.h"
#include "tests/gui/main_window/window_test_support.h"
#include "tests/gui/named_child.h"
#include "widgets/skin_button.h"

using quarn::test::NamedChild;

namespace quarn::gui_test {
namespace {

using console::ConsoleMode;
using console::PairState;

constexpr int kSearchMs = 8000;
// 2 s start delay, two warm-up seconds, then the first counted one.
constexpr int kFirstTickMs = 20000;

int IperfCount(e2e::ConsoleNetworkTest&, const test_support::TestNetwork& network, int hosts) {
    int count = 0;
    for (int host = 1; host <= hosts; ++host)
        count += static_cast<int>(e2e::IperfProcesses(network.Namespace(host)).size());
    return count;
}

class WindowSessionTest : public WindowNetworkTest {
  protected:
    void SearchAndWait() {
        Click(NamedChild<widgets::SkinButton>(Window(), "searchEndPoint"));
        ASSERT_TRUE(
            WaitFor([&] { return Window().Session().Mode() == ConsoleMode::Idle; }, kSearchMs));
    }
    void StartRun(const char* duration) {
        Window().DurationEdit()->setText(duration);
        Click(NamedChild<widgets::SkinButton>(Window(), "startStop"));
        ASSERT_EQ(Window().Session().Mode(), ConsoleMode::Measuring)
            << NoticeText(Window()).toStdString();
    }
    bool WaitForTick() {
        const bool ticked = WaitFor([&] { return Window().Data().ticks >= 1; }, kFirstTickMs);
        if (!ticked) {
            const console::PairTable& table = Window().Data().table;
            for (int row = 1; row < table.Size(); ++row) {
                std::string log;
                const console::PairLog* lines = Window().Data().logs.Find(table[row].id);
                for (std::size_t i = 0; lines && i < lines->Size(); ++i)
                    log += "    " + std::string(lines->Text(i)) + "\n";
                ADD_FAILURE() << table[row].name << " " << table[row].figures.statusText << "\n"
                              << log;
            }
        }
        return ticked;
    }
};

TEST_F(WindowSessionTest, AnOperatorSessionFromSearchToDelete) {
    MainWindow& window = Window();
    console::ConsoleData& data = window.Data();

    // Search: the panel shows the animation while it runs, then both EndPoints.
    Click(NamedChild<widgets::SkinButton>(window, "searchEndPoint"));
    ASSERT_EQ(window.Session().Mode(), ConsoleMode::Searching);
    EXPECT_TRUE(window.EndPoints()->Searching());
    EXPECT_TRUE(NamedChild<QWidget>(*window.EndPoints(), "searchAnimation")->isVisible());
    EXPECT_FALSE(window.EndPoints()->List(1)->isVisible());
    const QImage searching = Grab(window);
    const int panelLeft = window.width() - 373;
    EXPECT_EQ(PixelAt(searching, panelLeft + 300, 60 + 200), QColor(Qt::white));
    ASSERT_TRUE(WaitFor([&] { return window.Session().Mode() == ConsoleMode::Idle; }, kSearchMs));
    ASSERT_TRUE(data.endPointsKnown);
    ASSERT_EQ(data.endPoints.size(), 2u);
    EXPECT_TRUE(window.EndPoints()->List(1)->isVisible());
    EXPECT_FALSE(NamedChild<QWidget>(*window.EndPoints(), "searchAnimation")->isVisible());
    EXPECT_EQ(data.DisplayName(Address(2)), EndPointName(2));
    EXPECT_FALSE(NoticeShown(window));

    // A pair from the lists (2 sends to 3) and one typed in (the Console's host sends to 3).
    SelectEndPoint(window, 1, Address(2));
    SelectEndPoint(window, 2, Address(3));
    Click(NamedChild<widgets::SkinButton>(window, "addEndPoint"));
    ASSERT_EQ(data.table.PairCount(), 1);
    EXPECT_EQ(data.table[1].config.endpoint1, Address(2));
    EXPECT_EQ(data.table[1].config.endpoint2, Address(3));
    AddPairThroughDialog(window, Address(kConsoleHost), Address(3));
    ASSERT_EQ(data.table.PairCount(), 2);
    EXPECT_EQ(data.table[2].name, "Pair2");

    // Start: the faces change, the list and the chart fill.
    StartRun("30");
    const QImage running = Grab(window);
    EXPECT_EQ(PixelAt(running, 8, 275 + 34), QColor(176, 184, 152));
    EXPECT_EQ(PixelAt(running, window.width() - 477 + 1, 275 + 15), QColor(176, 184, 152));
    EXPECT_TRUE(data.table.All().config.showTotal);

    // While measuring only Start/Stop, the toggle and the list take input.
    auto* filter = window.findChild<console::ui::ModeInputFilter*>();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 3), QPointF(3, 3), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    EXPECT_TRUE(filter->Passes(NamedChild<widgets::SkinButton>(window, "startStop"), &press));
    EXPECT_TRUE(filter->Passes(window.TotalToggle(), &press));
    // The chart's measure selector is a view switch like the toggle; the rest of the
    // chart takes no input.
    EXPECT_TRUE(filter->Passes(window.Chart()->MeasureTabs(), &press));
    EXPECT_FALSE(filter->Passes(window.Chart(), &press));
    EXPECT_FALSE(filter->Passes(NamedChild<widgets::SkinButton>(window, "searchEndPoint"), &press));
    EXPECT_FALSE(filter->Passes(NamedChild<widgets::SkinButton>(window, "addEndPoint"), &press));
    QTest::keyClick(window.PairList(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(data.table.PairCount(), 2);
    window.Commands().OpenItemMenu(window.Data().table.IdAt(1),
                                   window.mapToGlobal(QPoint(100, 130)));
    console::ui::PairMenu* menu = window.Commands().Menu();
    EXPECT_TRUE(menu->showLog->isEnabled());
    for (QAction* action :
         {menu->exchange, menu->remove, menu->copy, menu->paste, menu->activate, menu->inactivate})
        EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
    menu->hide();

    ASSERT_TRUE(WaitForTick()) << "no second was processed";
    EXPECT_GE(data.table.All().figures.count, 2);
    EXPECT_GT(data.table.All().figures.sum, 0.0f);
    ASSERT_GE(data.chart.Series().size(), 3u);
    EXPECT_GE(data.chart.Series()[1].size(), 1u);
    EXPECT_GE(data.chart.Series()[2].size(), 1u);
    // The round trips go on the chart's latency curves second by second too.
    EXPECT_EQ(data.chart.SeriesOf(console::ChartMeasure::Latency)[1].size(),
              data.chart.Series()[1].size());
    EXPECT_NE(data.table[1].figures.currentText, "0.00");
    // The stoppable face lights up under the pointer.
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(NamedChild<widgets::SkinButton>(window, "startStop"), &enter);
    EXPECT_EQ(PixelAt(Grab(window), 8, 275 + 34), QColor(191, 199, 167));

    Click(NamedChild<widgets::SkinButton>(window, "startStop"));
    EXPECT_EQ(window.Session().Mode(), ConsoleMode::Idle);
    ASSERT_TRUE(NoticeShown(window));
    EXPECT_EQ(NoticeText(window), "The current measurement is stopped.");
    EXPECT_EQ(data.table[1].figures.statusText, "Stopped");
    EXPECT_EQ(data.table[2].figures.statusText, "Stopped");
    EXPECT_FALSE(data.measuredAt.empty());
    ConfirmNotice(window);
    ExpectNoIperfLeft();
    EXPECT_EQ(PixelAt(Grab(window), 8, 275 + 34), QColor(167, 189, 88));  // Start again

    // Edit, copy and paste, delete.
    EditPairThroughDialog(window, 1, Address(2));
    EXPECT_EQ(data.table[2].config.endpoint2, Address(2));
    SelectPairItems(window, {0});
    window.PairList()->setFocus();
    QTest::keyClick(window.PairList(), Qt::Key_C, Qt::ControlModifier);
    ASSERT_EQ(window.Commands().Clipboard().size(), 1u);
    QTest::keyClick(window.PairList(), Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(data.table.PairCount(), 3);
    EXPECT_EQ(data.table[3].name, "Pair3");
    EXPECT_EQ(data.table[3].config.endpoint1, Address(2));
    EXPECT_EQ(data.table[3].figures.statusText, "Ready");
    SelectPairItems(window, {1});
    Click(NamedChild<widgets::SkinButton>(window, "deletePair"));
    ASSERT_EQ(data.table.PairCount(), 2);
    EXPECT_EQ(data.table[2].name, "Pair2");
    EXPECT_EQ(data.table[2].config.endpoint1, Address(2));  // the former Pair3
    EXPECT_FALSE(NoticeShown(window));
}

// Stop in the warm-up: the face says "Stopping..." and the run ends at its first second
// (or 5 s later without one) instead of going on.
TEST_F(WindowSessionTest, StopBeforeTheFirstSecondSaysStoppingAndEndsTheRun) {
    MainWindow& window = Window();
    AddPairThroughDialog(window, Address(2), Address(3));
    StartRun("120");
    const QImage measuring = NamedChild<widgets::SkinButton>(window, "startStop")->grab().toImage();
    Click(NamedChild<widgets::SkinButton>(window, "startStop"));
    EXPECT_EQ(window.Session().Mode(), ConsoleMode::Measuring);
    EXPECT_TRUE(window.Run().StopPending());
    EXPECT_NE(NamedChild<widgets::SkinButton>(window, "startStop")->grab().toImage(), measuring);
    ASSERT_TRUE(WaitFor([&] { return window.Session().Mode() == ConsoleMode::Idle; }, 15000));
    ASSERT_TRUE(NoticeShown(window));
    EXPECT_EQ(NoticeText(window), "The current measurement is stopped.");
    EXPECT_LE(window.Data().ticks, 1);
    EXPECT_EQ(window.Data().table[1].figures.statusText, "Stopped");
    ConfirmNotice(window);
    ExpectNoIperfLeft();
}

TEST_F(WindowSessionTest, ACompletedRunShowsItsNotice) {
    MainWindow& window = Window();
    AddPairThroughDialog(window, Address(2), Address(3));
    // A line no veth reaches: the run fails, and says so under the notice and in the log.
    window.Data().settings.passLines.minThroughput = console::ThroughputLine{1e6, false};
    StartRun("3");
    ASSERT_TRUE(WaitFor([&] { return window.Session().Mode() == ConsoleMode::Idle; }, 40000));
    ASSERT_TRUE(NoticeShown(window));
    EXPECT_EQ(NoticeText(window), "The current measurement is completed.");
    EXPECT_EQ(window.Notice()->VerdictLine(), QStringLiteral("Verdict: FAIL (1 failed)"));
    const console::PairLog* log = window.Data().logs.Find(window.Data().table[1].id);
    ASSERT_NE(log, nullptr);
    ASSERT_GE(log->Size(), 2u);
    EXPECT_EQ(log->Text(log->Size() - 2), "Verdict: FAIL");
    EXPECT_NE(log->Text(log->Size() - 1).find("is below the pass line 1000000.00 Mbit/s"),
              std::string_view::npos);
    EXPECT_EQ(window.Data().table[1].figures.state, PairState::Done);
    EXPECT_EQ(window.Data().table[1].figures.countText, "3");
    EXPECT_EQ(window.Data().chart.RunLength(), 3);
    EXPECT_FALSE(window.Data().measuredAt.empty());
    EXPECT_GT(InkIn(Grab(window), QRect(58, 42, 200, 12), QColor(241, 241, 241)), 50);
    ConfirmNotice(window);
    EXPECT_TRUE(window.isEnabled());
}

TEST_F(WindowSessionTest, QuittingDuringARunLeavesNoIperfOnAnyHost) {
    MainWindow& window = Window();
    AddPairThroughDialog(window, Address(2), Address(3));
    AddPairThroughDialog(window, Address(kConsoleHost), Address(2));
    StartRun("60");
    ASSERT_TRUE(WaitForTick());
    EXPECT_GE(IperfCount(*this, Network(), 3), 4) << "clients and servers should be running";
    Click(window.Caption());  // nothing: a press on the caption only moves
    const QPoint close =
        window.Caption()->ButtonRect(console::ui::CaptionBar::Button::Close).center();
    QTest::mouseClick(window.Caption(), Qt::LeftButton, {}, close);
    ASSERT_EQ(NoticeText(window), "Are you sure to quit?");
    const auto started = std::chrono::steady_clock::now();
    AnswerQuit(window, true);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_TRUE(window.Quitting());
    EXPECT_FALSE(window.isVisible());
    CloseWindow();
    // TearDown checks every host for iperf left behind.
}

TEST_F(WindowSessionTest, QuittingDuringASearchDoesNotWait) {
    MainWindow& window = Window();
    Click(NamedChild<widgets::SkinButton>(window, "searchEndPoint"));
    ASSERT_EQ(window.Session().Mode(), ConsoleMode::Searching);
    window.Commands().AskQuit();
    const auto started = std::chrono::steady_clock::now();
    AnswerQuit(window, true);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(2500));
    EXPECT_FALSE(window.isVisible());
    CloseWindow();
}

// One host, no EndPoint anywhere.
class LonelyWindowTest : public e2e::ConsoleNetworkTest {
  protected:
    LonelyWindowTest() : ConsoleNetworkTest(1) {}
    void TearDown() override {
        window_.reset();
        inHost_.reset();
        ConsoleNetworkTest::TearDown();
    }
    void Enter() { inHost_ = std::make_unique<NamespaceEntry>(Network().Namespace(kConsoleHost)); }

    std::unique_ptr<NamespaceEntry> inHost_;
    std::unique_ptr<MainWindow> window_;
};

TEST_F(LonelyWindowTest, ASearchThatFindsNothingLeavesEmptyListsAndSaysSo) {
    Enter();
    window_ = MakeWindow({"eth0"});
    ShowMain(*window_);
    Click(NamedChild<widgets::SkinButton>(*window_, "searchEndPoint"));
    ASSERT_TRUE(WaitFor([&] { return window_->Session().Mode() == ConsoleMode::Idle; }, kSearchMs));
    ASSERT_TRUE(NoticeShown(*window_));
    EXPECT_EQ(NoticeText(*window_), "No End Point found.");
    EXPECT_FALSE(window_->Data().endPointsKnown);
    EXPECT_TRUE(window_->EndPoints()->List(1)->isVisible());
    EXPECT_EQ(window_->EndPoints()->Selection(1), std::nullopt);
    EXPECT_EQ(window_->EndPoints()->Selection(2), std::nullopt);
    ConfirmNotice(*window_);
    window_->Commands().AddFromLists();
    EXPECT_EQ(NoticeText(*window_), "No End Point found.");
}

TEST_F(LonelyWindowTest, QuittingWhileThePairSettingDialogIsOpenEndsIt) {
    Enter();
    window_ = MakeWindow({"eth0"});
    ShowMain(*window_);
    bool dialogSeen = false;
    QTimer::singleShot(50, [&] {
        dialogSeen = QApplication::activeModalWidget() != nullptr;
        window_->Quit();  // as SIGTERM does
    });
    Click(window_->AddManually());  // returns once the dialog has ended
    EXPECT_TRUE(dialogSeen);
    EXPECT_TRUE(window_->Quitting());
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(window_->Data().table.PairCount(), 0);
}

TEST_F(LonelyWindowTest, ASecondStartRaisesTheFirstWindowAndEnds) {
    Enter();
    window_ = MakeWindow({"eth0"});
    ShowMain(*window_);
    const std::string key = "gui-test-" + std::to_string(::getpid());
    platform::SingleInstance instance;
    ASSERT_TRUE(instance.Acquire(key));
    console::ui::InstanceRaiser raiser(instance, window_.get());
    int raised = 0;
    QObject::connect(&raiser, &console::ui::InstanceRaiser::raised, [&] { ++raised; });
    window_->showMinimized();

    test_support::RunningProgram second =
        Network().Spawn(kConsoleHost, {e2e::BuiltProgram("Quarn_Console"), "--interface", "eth0"},
                        {"QUARN_INSTANCE_KEY=" + key, "QT_QPA_PLATFORM=offscreen"});
    ASSERT_TRUE(WaitFor([&] { return raised == 1; }, 5000)) << second.Transcript();
    ASSERT_TRUE(second.WaitExit(5000));
    EXPECT_EQ(second.ExitCode(), 0);
    EXPECT_FALSE(window_->isMinimized());

    // Two real programs: the second start ends at once, the first quits on SIGTERM.
    const std::string key2 = key + "-b";
    const std::vector<std::string> env = {"QUARN_INSTANCE_KEY=" + key2,
                                          "QT_QPA_PLATFORM=offscreen"};
    test_support::RunningProgram first = Network().Spawn(
        kConsoleHost, {e2e::BuiltProgram("Quarn_Console"), "--interface", "eth0"}, env);
    QTest::qWait(1500);
    test_support::RunningProgram again = Network().Spawn(
        kConsoleHost, {e2e::BuiltProgram("Quarn_Console"), "--interface", "eth0"}, env);
    ASSERT_TRUE(again.WaitExit(5000)) << again.Transcript();
    EXPECT_EQ(again.ExitCode(), 0);
    EXPECT_FALSE(first.WaitExit(200)) << "the first Console ended: " << first.Transcript();
    ASSERT_TRUE(first.Signal(SIGTERM));
    ASSERT_TRUE(first.WaitExit(5000)) << first.Transcript();
    EXPECT_EQ(first.ExitCode(), 0);
}

}  // namespace
}  // namespace quarn::gui_test
