#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QInputDialog>
#include <QListView>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "console/core/console_data.h"
#include "console/core/event_loop.h"
#include "console/core/run_judgement.h"
#include "console/core/tick_processor.h"
#include "console/files/series_csv.h"
#include "console/ui/chart_export_menu.h"
#include "console/ui/chart_measure_tabs.h"
#include "console/ui/chart_picture.h"
#include "console/ui/chart_widget.h"
#include "console/ui/file_panel.h"
#include "console/ui/help_window.h"
#include "console/ui/log_list_model.h"
#include "console/ui/log_window.h"
#include "console/ui/log_windows.h"
#include "tests/gui/file_panel_button.h"
#include "tests/gui/named_child.h"
#include "widgets/skin_button.h"

using quarn::test::NamedChild;

namespace quarn::console {
namespace {

using ui::ChartExportMenu;
using ui::ChartWidget;
using ui::FilePanel;
using ui::HelpWindow;
using ui::LogWindow;
using ui::LogWindows;
using ui::ReportCharts;

// Grabs land in the build folder, so they can be looked at after a run.
void Shot(QWidget& widget, const QString& name) {
    QDir().mkpath(QStringLiteral(QUARN_GUI_SHOT_DIR));
    widget.grab().save(QStringLiteral(QUARN_GUI_SHOT_DIR "/") + name + QStringLiteral(".png"));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TempFolder {
  public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quarn-gui-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::string RateLine(int second, int rate) {
    return "[  3] " + std::to_string(second) + ".0-" + std::to_string(second + 1) +
           ".0 sec  112 MBytes  " + std::to_string(rate) + " Mbits/sec";
}

// Two pairs measured for a few seconds through the core's line handling, as a run
// would feed them; log windows are told what the main window would tell them.
class RunFeeder : public ConsoleView {
  public:
    explicit RunFeeder(ConsoleData& data) : data_(data), ticks_(data, *this) {}

    void Begin(int pairs, int duration, bool udp = false) {
        for (int i = 0; i < pairs; ++i) {
            PairConfig pair;
            pair.endpoint1 = "198.18.0." + std::to_string(10 + i);
            pair.endpoint2 = "198.18.1." + std::to_string(10 + i);
            data_.AddPair(pair);
            data_.table[i + 1].run.protocol = udp ? Protocol::Udp : Protocol::Tcp;
        }
        data_.chart.BeginRun(pairs);
        ticks_.BeginRun(std::chrono::seconds(duration), udp);
    }
    void Line(int row, const std::string& line) { ticks_.HandleLine(row, line); }

    void ShowNotice(NoticeKind, std::string_view) override {}
    void LogChanged(PairId pair) override {
        if (windows) {
            windows->LineAdded(pair);
        }
    }
    void LogsCounted(const std::vector<PairId>& pairs) override {
        for (PairId pair : pairs) {
            LogChanged(pair);
        }
    }

    LogWindows* windows = nullptr;

  private:
    ConsoleData& data_;
    TickProcessor ticks_;
};

QColor PixelAt(QWidget& widget, QPoint point) {
    return widget.grab().toImage().pixelColor(point);
}

// ---- log windows ---------------------------------------------------------------------

TEST(LogWindowTest, NeverRunPairShowsNoData) {
    ConsoleData data;
    RunFeeder feeder(data);
    feeder.Begin(1, 60);
    LogWindows windows(data, nullptr);
    LogWindow* window = windows.Open(data.table.IdAt(1), false);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->ListShown());
    EXPECT_EQ(window->windowTitle(), "Pair1 198.18.0.10  > 198.18.1.10  Log");
    EXPECT_EQ(window->size(), QSize(500, 357));
    Shot(*window, QStringLiteral("log_window_empty"));
    // The empty list area is white with the notice text in black in its middle.
    const QImage image = window->grab().toImage();
    EXPECT_EQ(image.pixelColor(10, 50), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(2, 2), QColor(0xFA, 0xFA, 0xFA));
    EXPECT_EQ(image.pixelColor(499, 200), QColor(0x7B, 0x7B, 0x7B));
    int dark = 0;
    for (int x = 150; x < 350; ++x) {
        for (int y = 166; y < 186; ++y) {
            dark += qGray(image.pixel(x, y)) < 80 ? 1 : 0;
        }
    }
    EXPECT_GT(dark, 40) << "\"No measurement data.\" is drawn";
    EXPECT_EQ(windows.Open(data.table.IdAt(7), false), nullptr);  // not a pair row
}

// The title area's second line carries the pair's figures and follows the run's lines.
TEST(LogWindowTest, TitleAreaShowsThePairsFiguresAsTheyChange) {
    ConsoleData data;
    RunFeeder feeder(data);
    feeder.Begin(1, 60, /*udp=*/true);
    LogWindows windows(data, nullptr);
    feeder.windows = &windows;
    LogWindow* window = windows.Open(data.table.IdAt(1), true);
    ASSERT_NE(window, nullptr);
    const QString none = QString::fromUtf8("\u2013");
    EXPECT_EQ(window->FiguresText(),
              "Loss " + none + "   Jitter " + none + "   RTT idle " + none + "   RTT load " + none);
    const QRect figures(17, 28, 470, 14);
    const auto darkPixels = [&] {
        const QImage image = window->grab().toImage();
        int dark = 0;
        for (int x = figures.left(); x <= figures.right(); ++x) {
            for (int y = figures.top(); y <= figures.bottom(); ++y) {
                dark += qGray(image.pixel(x, y)) < 160 ? 1 : 0;
            }
        }
        return dark;
    };
    const int dashesOnly = darkPixels();
    EXPECT_GT(dashesOnly, 20);

    for (int second = 0; second < 4; ++second) {
        feeder.Line(1, "[  1] " + std::to_string(second) + ".0000-" + std::to_string(second + 1) +
                           ".0000 sec  11.9 MBytes   100 Mbits/sec   0.250 ms 25/1000 (2.5%)");
    }
    data.table[1].figures.quality.rttIdleMs = 0.4;
    data.table[1].figures.quality.rttLoadedMedianMs = 12.4;
    feeder.Line(1,
                "[  1] 4.0000-5.0000 sec  11.9 MBytes   100 Mbits/sec   0.250 ms 25/1000 (2.5%)");
    EXPECT_EQ(window->FiguresText(),
              "Loss 2.50 %   Jitter 0.250 ms   RTT idle 0.40 ms   RTT load 12.40 ms (+12.00 ms)");
    Shot(*window, QStringLiteral("log_window_figures"));
    EXPECT_GT(darkPixels(), dashesOnly + 100) << "the figures are drawn in the title area";
    // The list starts below the figures line.
    EXPECT_GT(NamedChild<QListView>(*window, "lines")->geometry().top(), figures.bottom());
}

TEST(LogWindowTest, RunningPairFillsLiveWithCountedLinesBlack) {
    ConsoleData data;
    RunFeeder feeder(data);
    feeder.Begin(1, 60);
    LogWindows windows(data, nullptr);
    feeder.windows = &windows;
    LogWindow* window = windows.Open(data.table.IdAt(1), true);
    ASSERT_NE(window, nullptr);
    feeder.Line(1, "------------------------------------------------------------");
    feeder.Line(1, "[  3] local 198.18.1.10 port 5001 connected with 198.18.0.10 port 40000");
    EXPECT_TRUE(window->ListShown());
    for (int second = 0; second < 30; ++second) {
        feeder.Line(1, RateLine(second, 900 + second));
    }
    QAbstractItemModel* model = NamedChild<QListView>(*window, "lines")->model();
    ASSERT_EQ(model->rowCount(), 32);
    EXPECT_EQ(model->index(31, 0).data().toString().toStdString(), RateLine(29, 929));
    // The first two seconds are warm-up; from the third on every rate line counted.
    const auto colour = [&](int row) {
        return model->index(row, 0).data(Qt::ForegroundRole).value<QColor>();
    };
    EXPECT_EQ(colour(0), QColor(0xD0, 0xD0, 0xD0));
    EXPECT_EQ(colour(3), QColor(0xD0, 0xD0, 0xD0));
    EXPECT_EQ(colour(4), QColor(Qt::black));
    EXPECT_EQ(colour(31), QColor(Qt::black));
    // Live: the last line is in view.
    QApplication::processEvents();
    const QScrollBar* bar = NamedChild<QListView>(*window, "lines")->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    Shot(*window, QStringLiteral("log_window_live"));

    // Pixels of the last visible row: the text is black.
    const QRect last = NamedChild<QListView>(*window, "lines")->visualRect(model->index(31, 0));
    const QImage image = NamedChild<QListView>(*window, "lines")->viewport()->grab().toImage();
    int black = 0;
    for (int x = last.left() + 5; x < last.left() + 200; ++x) {
        for (int y = last.top(); y <= last.bottom(); ++y) {
            black += qGray(image.pixel(x, y)) < 60 ? 1 : 0;
        }
    }
    EXPECT_GT(black, 20);

    // Opened again after the run, it shows the first lines.
    windows.Close(data.table.IdAt(1));
    LogWindow* after = windows.Open(data.table.IdAt(1), false);
    QApplication::processEvents();
    EXPECT_EQ(NamedChild<QListView>(*after, "lines")->verticalScrollBar()->value(), 0);
    window = after;
    model = NamedChild<QListView>(*window, "lines")->model();

    // A new run clears the log: the window follows it.
    data.logs.Of(data.table[1].id).Clear();
    windows.RunStarted();
    EXPECT_FALSE(window->ListShown());
    EXPECT_EQ(model->rowCount(), 0);
}

// iperf pads its columns with spaces: in the log they line up under each other, and a
// line wider than the window scrolls sideways instead of being cut.
TEST(LogWindowTest, LinesInFixedPitchWithTheirEndsReachable) {
    ConsoleData data;
    RunFeeder feeder(data);
    feeder.Begin(1, 60);
    LogWindows windows(data, nullptr);
    feeder.windows = &windows;
    LogWindow* window = windows.Open(data.table.IdAt(1), true);
    ASSERT_NE(window, nullptr);
    const QFontInfo face(NamedChild<QListView>(*window, "lines")->font());
    EXPECT_TRUE(face.fixedPitch()) << face.family().toStdString();
    const QFontMetrics metrics(NamedChild<QListView>(*window, "lines")->font());
    EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("iiii")),
              metrics.horizontalAdvance(QStringLiteral("MMMM")));

    feeder.Line(1, RateLine(0, 900));
    QApplication::processEvents();
    QScrollBar* bar = NamedChild<QListView>(*window, "lines")->horizontalScrollBar();
    EXPECT_EQ(bar->maximum(), 0) << "a short line needs no sideways scrolling";

    const std::string wide = "[SUM] " + std::string(150, '-') + " END";
    feeder.Line(1, wide);
    feeder.Line(1, RateLine(1, 901));
    QApplication::processEvents();
    Shot(*window, QStringLiteral("log_window_wide_line"));
    const int lineWidth = metrics.horizontalAdvance(QString::fromStdString(wide));
    const int viewport = NamedChild<QListView>(*window, "lines")->viewport()->width();
    ASSERT_GT(lineWidth, viewport);
    // Scrolled fully right, the line's last character is inside the viewport.
    EXPECT_GE(bar->maximum() + viewport, lineWidth + ui::LogRowDelegate::kTextInset);
    bar->setValue(bar->maximum());
    QApplication::processEvents();
    const QRect row =
        NamedChild<QListView>(*window, "lines")
            ->visualRect(NamedChild<QListView>(*window, "lines")->model()->index(1, 0));
    EXPECT_GE(row.width(), lineWidth + ui::LogRowDelegate::kTextInset);
    const QImage image = NamedChild<QListView>(*window, "lines")->viewport()->grab().toImage();
    int ink = 0;
    for (int x = viewport - 40; x < viewport; ++x) {
        for (int y = std::max(row.top(), 0); y <= row.bottom(); ++y) {
            ink += qGray(image.pixel(x, y)) < 0xE8 ? 1 : 0;  // uncounted lines are light grey
        }
    }
    EXPECT_GT(ink, 10) << "the end of the wide line is drawn at the right edge";
}

TEST(LogWindowTest, EscapeClosesAndEnterDoesNot) {
    ConsoleData data;
    RunFeeder feeder(data);
    feeder.Begin(1, 60);
    LogWindows windows(data, nullptr);
    feeder.windows = &windows;
    LogWindow* window = windows.Open(data.table.IdAt(1), false);
    ASSERT_NE(window, nullptr);
    feeder.Line(1, RateLine(0, 900));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QPointer<LogWindow> alive = window;
    QTest::keyClick(window, Qt::Key_Return);
    QTest::keyClick(NamedChild<QListView>(*window, "lines"), Qt::Key_Enter);
    ASSERT_TRUE(alive);
    EXPECT_TRUE(window->isVisible());
    // With the focus in the list, as after a click on a line.
    NamedChild<QListView>(*window, "lines")->setFocus();
    QTest::keyClick(NamedChild<QListView>(*window, "lines"), Qt::Key_Escape);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(alive);
    EXPECT_EQ(windows.Find(data.table.IdAt(1)), nullptr);
}

TEST(LogWindowTest, OpenedTwiceKeepsOneWindowAndClosesWithItsRow) {
    ConsoleData data;
    RunFeeder feeder(data);
    feeder.Begin(3, 60);
    LogWindows windows(data, nullptr);
    LogWindow* first = windows.Open(data.table.IdAt(2), false);
    EXPECT_EQ(windows.Open(data.table.IdAt(2), false), first);
    EXPECT_EQ(windows.Count(), 1);
    EXPECT_NE(windows.Open(data.table.IdAt(3), false), first);
    EXPECT_EQ(windows.Count(), 2);

    windows.Close(data.table.IdAt(3));  // inactivated
    QApplication::processEvents();
    EXPECT_EQ(windows.Count(), 1);
    EXPECT_EQ(windows.Find(data.table.IdAt(3)), nullptr);

    // The operator's Close button.
    QPointer<LogWindow> closing = first;
    auto* closeButton = first->findChildren<widgets::SkinButton*>().value(0);
    ASSERT_NE(closeButton, nullptr);
    QTest::mouseClick(closeButton, Qt::LeftButton);
    QTest::qWait(0);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closing.isNull());
    EXPECT_EQ(windows.Count(), 0);
    EXPECT_NE(windows.Open(data.table.IdAt(2), false), nullptr);  // opens again

    windows.CloseAll();  // New
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(windows.Count(), 0);
}

TEST(LogWindowTest, DeletingPair1RetitlesPair2AndKeepsItUpdating) {
    ConsoleData data;
    RunFeeder feeder(data);
    feeder.Begin(2, 60);
    LogWindows windows(data, nullptr);
    feeder.windows = &windows;
    feeder.Line(1, RateLine(0, 100));
    feeder.Line(2, RateLine(0, 200));
    LogWindow* pair1 = windows.Open(data.table.IdAt(1), false);
    LogWindow* pair2 = windows.Open(data.table.IdAt(2), false);
    QPointer<LogWindow> pair1Alive = pair1;
    ASSERT_EQ(NamedChild<QListView>(*pair2, "lines")->model()->rowCount(), 1);

    EXPECT_TRUE(data.DeletePairs(ConsoleMode::Idle, {data.table.IdAt(1)}).Ok());
    windows.TableChanged();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(pair1Alive.isNull());
    EXPECT_EQ(windows.Find(data.table.IdAt(1)), pair2);
    EXPECT_EQ(pair2->Row(), 1);
    EXPECT_EQ(pair2->NameText(), "Pair1");
    EXPECT_EQ(pair2->windowTitle(), "Pair1 198.18.0.11  > 198.18.1.11  Log");
    ASSERT_EQ(NamedChild<QListView>(*pair2, "lines")->model()->rowCount(), 1);
    EXPECT_EQ(NamedChild<QListView>(*pair2, "lines")
                  ->model()
                  ->index(0, 0)
                  .data()
                  .toString()
                  .toStdString(),
              RateLine(0, 200));
    // The marker is Pair1's now: the colour of series 1 at (9, 13).
    Shot(*pair2, QStringLiteral("log_window_retitled"));
    EXPECT_EQ(PixelAt(*pair2, QPoint(11, 15)),
              QImage(QStringLiteral(":/quarn/marker_01_6.png")).pixelColor(2, 2));

    feeder.Line(1, RateLine(1, 210));
    EXPECT_EQ(NamedChild<QListView>(*pair2, "lines")->model()->rowCount(), 2);
}

// ---- file panel ------------------------------------------------------------------------

class QueuedDialogs : public FileDialogs {
  public:
    std::optional<std::string> ChooseOpenPath(const std::string&) override {
        ++openAsked;
        return Next();
    }
    std::optional<std::string> ChooseSavePath(FileCommand, const std::string&,
                                              const std::string&) override {
        ++saveAsked;
        return Next();
    }
    std::deque<std::optional<std::string>> answers;
    int openAsked = 0;
    int saveAsked = 0;

  private:
    std::optional<std::string> Next() {
        if (answers.empty()) {
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// The main window's part, as small as the file flow needs.
class PanelHost : public FileFlowHost {
  public:
    PanelHost(ConsoleData& data, LogWindows& windows) : data_(data), windows_(windows) {}
    bool IsIdle() const override { return !busy; }
    void CommitEditsToSettings() override {}
    void PerformNew() override {
        data_.ResetToNew();
        windows_.CloseAll();
    }
    void SetFileBusy(bool value) override { busy = value; }
    void ShowNotice(NoticeKind kind, std::string_view text) override {
        notices.emplace_back(kind, std::string(text));
        times.push_back(std::chrono::steady_clock::now());
    }
    void FileFinished(FileCommand, ConfigResult) override { ++finished; }

    bool busy = false;
    int finished = 0;
    std::vector<std::pair<NoticeKind, std::string>> notices;
    std::vector<std::chrono::steady_clock::time_point> times;

  private:
    ConsoleData& data_;
    LogWindows& windows_;
};

class FilePanelTest : public ::testing::Test {
  protected:
    FilePanelTest()
        : windows(data, &owner),
          host(data, windows),
          panel(&owner),
          session(data, loop, host, dialogs, folder.File("configs")) {
        owner.resize(400, 300);
        owner.show();
        session.SetProgressMinimum(std::chrono::milliseconds(10));
        // As the main window wires them: the panel only hands its commands on.
        QObject::connect(&panel, &FilePanel::commandChosen, &owner,
                         [this](FileCommand command) { session.Run(command); });
    }

    void Click(FileCommand command) {
        panel.Toggle();
        ASSERT_TRUE(panel.isVisible());
        const int before = host.finished;
        QTest::mouseClick(quarn::test::FilePanelButton(panel, command), Qt::LeftButton);
        EXPECT_FALSE(panel.isVisible());  // a click hides the panel first
        if (!session.Busy()) {
            return;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (host.finished == before && std::chrono::steady_clock::now() < deadline) {
            loop.RunFor(std::chrono::milliseconds(5));
            QApplication::processEvents();
        }
        ASSERT_GT(host.finished, before);
    }
    std::string LastNotice() const {
        return host.notices.empty() ? "" : host.notices.back().second;
    }

    TempFolder folder;
    EventLoop loop;
    QWidget owner;
    ConsoleData data;
    LogWindows windows;
    PanelHost host;
    QueuedDialogs dialogs;
    FilePanel panel;
    FileFlow session;
};

TEST_F(FilePanelTest, SavedRunComesBackAfterNewAndOpen) {
    RunFeeder feeder(data);
    feeder.Begin(2, 60);
    for (int second = 0; second < 8; ++second) {
        feeder.Line(1, RateLine(second, 500 + second));
        feeder.Line(2, RateLine(second, 300 + second));
    }
    data.chart.FinishRun(data.ticks, ChartScaleSource::From(data.table));
    data.measuredAt = "2026-12-08 21:00:00";
    const ConsoleData before = data;
    ASSERT_EQ(before.table[1].figures.count, 6);

    session.SetProgressMinimum(FileFlow::kProgressMinimum);
    const std::string path = folder.File("configs/run.config");
    dialogs.answers = {path};
    Click(FileCommand::Save);
    ASSERT_EQ(host.notices.size(), 2u);
    EXPECT_EQ(host.notices[0],
              std::make_pair(NoticeKind::Progress, std::string("Saving measured data...")));
    EXPECT_EQ(host.notices[1],
              std::make_pair(NoticeKind::Info, std::string("Success to save the file.")));
    EXPECT_GE(host.times[1] - host.times[0], std::chrono::milliseconds(1000));
    EXPECT_EQ(session.CurrentFileName(), "run.config");
    session.SetProgressMinimum(std::chrono::milliseconds(10));

    windows.Open(data.table.IdAt(1), false);
    Click(FileCommand::New);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(data.table.PairCount(), 0);
    EXPECT_EQ(windows.Count(), 0);  // New closes log windows
    EXPECT_EQ(session.CurrentFileName(), "");

    dialogs.answers = {path};
    Click(FileCommand::Open);
    EXPECT_EQ(LastNotice(), "Success to open the file.");
    ASSERT_EQ(data.table.PairCount(), 2);
    EXPECT_EQ(data.measuredAt, before.measuredAt);
    for (int row = 0; row <= 2; ++row) {
        SCOPED_TRACE(row);
        const PairRecord& a = before.table[row];
        const PairRecord& b = data.table[row];
        EXPECT_EQ(b.name, a.name);
        EXPECT_EQ(b.config.endpoint1, a.config.endpoint1);
        EXPECT_EQ(b.config.endpoint2, a.config.endpoint2);
        EXPECT_EQ(b.figures.countText, a.figures.countText);
        EXPECT_EQ(b.figures.currentText, a.figures.currentText);
        EXPECT_EQ(b.figures.averageText, a.figures.averageText);
        EXPECT_EQ(b.figures.minText, a.figures.minText);
        EXPECT_EQ(b.figures.maxText, a.figures.maxText);
        EXPECT_EQ(data.logs.Find(b.id), nullptr);
    }
    ASSERT_EQ(data.chart.Series().size(), before.chart.Series().size());
    for (std::size_t s = 0; s < data.chart.Series().size(); ++s) {
        ASSERT_EQ(data.chart.Series()[s].size(), before.chart.Series()[s].size());
        for (std::size_t i = 0; i < data.chart.Series()[s].size(); ++i) {
            EXPECT_NEAR(data.chart.Series()[s][i].value, before.chart.Series()[s][i].value, 0.005);
        }
    }
    EXPECT_EQ(data.ticks, before.ticks);
}

TEST_F(FilePanelTest, WrongIdentifierAndUnreadableFile) {
    RunFeeder feeder(data);
    feeder.Begin(2, 60);
    const std::string path = folder.File("not-a-config.config");
    std::ofstream(path) << "hello, this is not a configuration file at all.............";

    // An unreadable file (a folder) leaves everything as it was.
    const std::string unreadable = folder.File("folder.config");
    std::filesystem::create_directory(unreadable);
    dialogs.answers = {unreadable};
    Click(FileCommand::Open);
    EXPECT_EQ(host.notices.back(),
              std::make_pair(NoticeKind::Message, std::string("Failed to open the file.")));
    EXPECT_EQ(data.table.PairCount(), 2);
    // No save target before, none now: Save asks for a name.
    dialogs.answers = {std::nullopt};
    Click(FileCommand::Save);
    EXPECT_EQ(dialogs.saveAsked, 1);

    dialogs.answers = {path};
    Click(FileCommand::Open);
    EXPECT_EQ(host.notices.back(),
              std::make_pair(NoticeKind::Info, std::string("File format is not valid.")));
    EXPECT_EQ(data.table.PairCount(), 0);
    EXPECT_TRUE(data.chart.Series().empty());
    EXPECT_FALSE(host.busy);
}

TEST_F(FilePanelTest, PanelLooksAndKeys) {
    owner.show();
    panel.move(10, 10);
    panel.Toggle();
    ASSERT_TRUE(panel.isVisible());
    Shot(panel, QStringLiteral("file_panel"));
    const QImage image = panel.grab().toImage();
    EXPECT_EQ(image.size(), QSize(112, 111));
    EXPECT_EQ(image.pixelColor(0, 0), QColor(0x82, 0x82, 0x82));
    EXPECT_EQ(image.pixelColor(50, 22), QColor(0x82, 0x82, 0x82));
    EXPECT_EQ(image.pixelColor(50, 66), QColor(0x82, 0x82, 0x82));
    EXPECT_EQ(image.pixelColor(100, 30), QColor(Qt::white));
    EXPECT_EQ(quarn::test::FilePanelButton(panel, FileCommand::SaveAs)->text(), "Save as");
    EXPECT_EQ(quarn::test::FilePanelButton(panel, FileCommand::Open)->geometry(),
              QRect(1, 23, 110, 21));

    // Keys do not operate the buttons.
    RunFeeder feeder(data);
    feeder.Begin(1, 60);
    QTest::keyClick(&panel, Qt::Key_Space);
    QTest::keyClick(quarn::test::FilePanelButton(panel, FileCommand::New), Qt::Key_Space);
    QTest::keyClick(quarn::test::FilePanelButton(panel, FileCommand::New), Qt::Key_Return);
    EXPECT_EQ(data.table.PairCount(), 1);
    panel.Toggle();
    EXPECT_FALSE(panel.isVisible());

    // A press elsewhere hides the shown panel; one on the file button is left to it.
    QWidget fileButton(&owner);
    fileButton.setGeometry(300, 5, 14, 15);
    fileButton.show();
    panel.SetToggleButton(&fileButton);
    panel.PlaceFor(owner.width());
    EXPECT_EQ(panel.geometry(), QRect(400 - 112, 31, 112, 111));
    panel.Toggle();
    QTest::mousePress(&fileButton, Qt::LeftButton);
    EXPECT_TRUE(panel.isVisible());
    QTest::mousePress(quarn::test::FilePanelButton(panel, FileCommand::Save), Qt::RightButton);
    EXPECT_TRUE(panel.isVisible());
    QTest::mousePress(&owner, Qt::RightButton, {}, QPoint(20, 200));
    EXPECT_FALSE(panel.isVisible());
}

// ---- help window -----------------------------------------------------------------------

// The help window and a log window open over the middle of the window that opened them,
// wherever that window stands.
TEST(HelpWindowTest, HelpAndLogOpenCentredOverTheirOwner) {
    QWidget owner;
    owner.setGeometry(137, 91, 900, 700);
    owner.show();
    const QPoint middle = owner.frameGeometry().center();
    auto near = [&](const QWidget& window) {
        const QPoint centre = window.frameGeometry().center();
        return std::abs(centre.x() - middle.x()) <= 1 && std::abs(centre.y() - middle.y()) <= 1;
    };
    HelpWindow* help = HelpWindow::Open(&owner);
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(near(*help)) << help->frameGeometry().x() << "," << help->frameGeometry().y();
    help->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    ConsoleData data;
    RunFeeder feeder(data);
    feeder.Begin(1, 60);
    LogWindows windows(data, &owner);
    LogWindow* log = windows.Open(data.table.IdAt(1), false);
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(near(*log)) << log->frameGeometry().x() << "," << log->frameGeometry().y();
}

TEST(HelpWindowTest, OneWindowShowingTheManual) {
    ASSERT_FALSE(HelpWindow::IsOpen());
    HelpWindow* help = HelpWindow::Open();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(HelpWindow::Open(), help);  // the help area twice: one window
    EXPECT_TRUE(HelpWindow::IsOpen());
    EXPECT_EQ(help->size(), QSize(818, 759));
    EXPECT_EQ(help->windowTitle(), "Manual");
    ASSERT_FALSE(help->PagePath().isEmpty()) << "help_quarn.html not found";
    const QString text = NamedChild<QTextBrowser>(*help, "browser")->toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Quarn_EndPoint --headless")));
    EXPECT_TRUE(text.contains(QStringLiteral("Troubleshooting")));
    EXPECT_EQ(NamedChild<QTextBrowser>(*help, "browser")->geometry(), QRect(5, 36, 808, 718));
    Shot(*help, QStringLiteral("help_window"));
    // The contents links lead to their sections.
    NamedChild<QTextBrowser>(*help, "browser")->scrollToAnchor(QStringLiteral("trouble"));
    EXPECT_GT(NamedChild<QTextBrowser>(*help, "browser")->verticalScrollBar()->value(), 0);
    Shot(*help, QStringLiteral("help_window_troubleshooting"));
    NamedChild<QTextBrowser>(*help, "browser")->scrollToAnchor(QStringLiteral("figures"));
    Shot(*help, QStringLiteral("help_window_figures"));
    const QImage image = help->grab().toImage();
    EXPECT_EQ(image.pixelColor(0, 400), QColor(0xC3, 0xC3, 0xC3));
    EXPECT_EQ(image.pixelColor(2, 400), QColor(0xF1, 0xF1, 0xF1));

    // Pressing below the title strip does not move the window.
    const QPoint before = help->pos();
    QTest::mousePress(help, Qt::LeftButton, {}, QPoint(2, 400));
    QTest::mouseMove(help, QPoint(50, 450));
    QTest::mouseRelease(help, Qt::LeftButton, {}, QPoint(50, 450));
    EXPECT_EQ(help->pos(), before);

    help->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(HelpWindow::IsOpen());
    HelpWindow* again = HelpWindow::Open();
    EXPECT_NE(again, nullptr);
    again->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(HelpWindowTest, EscapeClosesItWhereverTheFocusIs) {
    for (const bool inBrowser : {false, true}) {
        HelpWindow* help = HelpWindow::Open();
        ASSERT_NE(help, nullptr);
        help->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(help));
        QWidget* target = help;
        if (inBrowser) {
            NamedChild<QTextBrowser>(*help, "browser")->setFocus();
            target = NamedChild<QTextBrowser>(*help, "browser");
        }
        QTest::keyClick(target, Qt::Key_Escape);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(HelpWindow::IsOpen()) << inBrowser;
    }
}

TEST(HelpWindowTest, PageIsLookedUpBesideTheProgramFirst) {
    const QStringList candidates = HelpWindow::PageCandidates();
    ASSERT_GE(candidates.size(), 3);
    EXPECT_EQ(candidates.front(),
              QDir(QCoreApplication::applicationDirPath()).filePath("help_quarn.html"));
    EXPECT_TRUE(candidates.back().endsWith("resources/help/help_quarn.html"));
}

// ---- chart export ------------------------------------------------------------------------

// The report draws every measure without the selector, and leaves the chart as it was.
TEST(ChartExportTest, ReportChartsShowEachMeasureWithoutTheSelector) {
    ConsoleData data;
    RunFeeder feeder(data);
    feeder.Begin(1, 60);
    for (int second = 0; second < 6; ++second)
        feeder.Line(1, RateLine(second, 500));
    ChartWidget chart(data.chart);
    chart.SetPairTable(&data.table);
    chart.resize(600, 260);
    chart.SetMeasure(ChartMeasure::Latency);
    const QRect selector = chart.MeasureTabRect(ChartMeasure::Throughput)
                               .united(chart.MeasureTabRect(ChartMeasure::Loss));
    const QImage withTabs = chart.grab().toImage();

    const std::vector<records::ReportChart> tcp = ReportCharts(chart, data);
    ASSERT_EQ(tcp.size(), 3u);
    EXPECT_EQ(tcp[0].title, "Throughput");
    EXPECT_EQ(tcp[1].title, "Latency");
    EXPECT_EQ(tcp[2].title, "Loss");
    EXPECT_TRUE(tcp[2].png.empty());
    EXPECT_FALSE(tcp[2].note.empty());
    EXPECT_EQ(chart.Measure(), ChartMeasure::Latency);
    EXPECT_FALSE(chart.MeasureTabs()->isHidden());
    for (int i = 0; i < 2; ++i) {
        QImage picture;
        ASSERT_TRUE(picture.loadFromData(QByteArray::fromStdString(tcp[i].png), "PNG")) << i;
        ASSERT_EQ(picture.width(), 600);
        const int titleHeight = picture.height() - 260;
        // Where the window draws its selector the picture holds only the chart's backdrop.
        int differs = 0;
        int inked = 0;
        for (int y = selector.top(); y <= selector.bottom(); ++y)
            for (int x = selector.left(); x <= selector.right(); ++x) {
                const QRgb drawn = picture.pixel(x, y + titleHeight);
                differs += drawn != withTabs.pixel(x, y) ? 1 : 0;
                inked += qGray(drawn) < 200 ? 1 : 0;
            }
        EXPECT_GT(differs, 0) << i;
        EXPECT_EQ(inked, 0) << i;
    }

    data.settings.protocol = Protocol::Udp;
    const std::vector<records::ReportChart> udp = ReportCharts(chart, data);
    ASSERT_EQ(udp.size(), 3u);
    EXPECT_FALSE(udp[2].png.empty());
}

TEST(ChartExportTest, PngAndCsvOfTheChart) {
    TempFolder folder;
    ConsoleData data;
    RunFeeder feeder(data);
    feeder.Begin(2, 60);
    for (int second = 0; second < 6; ++second) {
        feeder.Line(1, RateLine(second, 500));
        feeder.Line(2, RateLine(second, 250));
    }
    QWidget chart;
    chart.resize(300, 120);
    chart.setStyleSheet("background: #123456");
    ChartExportMenu menu(&chart, data, QString::fromStdString(folder.File("")));
    std::vector<std::pair<NoticeKind, QString>> notices;
    menu.SetNotice([&](NoticeKind kind, const QString& text) { notices.emplace_back(kind, text); });
    QString answer = QString::fromStdString(folder.File("chart.png"));
    menu.SetPathChooser([&](const QString&, const QString&, const QString&) { return answer; });

    data.measuredAt = "2026-12-09 01:46:39";
    menu.AskAndSavePng();
    const QImage png(answer);
    // The chart as drawn, under a title line on white.
    ASSERT_EQ(png.width(), 300);
    ASSERT_GT(png.height(), 130);
    const int titleHeight = png.height() - 120;
    EXPECT_EQ(png.pixelColor(150, titleHeight + 60), QColor("#123456"));
    EXPECT_EQ(png.pixelColor(299, 1), QColor(Qt::white));
    int dark = 0;
    for (int y = 0; y < titleHeight; ++y)
        for (int x = 0; x < 300; ++x)
            dark += png.pixelColor(x, y).lightness() < 100 ? 1 : 0;
    EXPECT_GT(dark, 50) << "no title text";
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].second, "Success to save the file.");

    answer = QString::fromStdString(folder.File("run.csv"));
    menu.AskAndExportCsv();
    const std::string expected = folder.File("expected.csv");
    ASSERT_TRUE(WriteSeriesCsv(expected, data.table, data.chart));
    EXPECT_EQ(ReadFile(answer.toStdString()), ReadFile(expected));
    EXPECT_EQ(ReadFile(expected).substr(0, 25), "tick,Pair1,Pair2,All\n1,50");

    answer = QString::fromStdString(folder.File("missing/run.csv"));
    menu.AskAndExportCsv();
    EXPECT_EQ(notices.back(),
              std::make_pair(NoticeKind::Message, QString("Failed to save the file.")));
    EXPECT_EQ(chart.contextMenuPolicy(), Qt::CustomContextMenu);

    // The report carries the same titled picture inside itself.
    answer = QString::fromStdString(folder.File("run.html"));
    menu.AskAndExportReport();
    EXPECT_EQ(notices.back().first, NoticeKind::Info);
    const std::string html = ReadFile(answer.toStdString());
    EXPECT_NE(html.find("2026-12-09 01:46:39, 2 pairs, TCP window 5 MByte, 60 s"),
              std::string::npos);
    const std::string marker = "data:image/png;base64,";
    const auto begin = html.find(marker);
    ASSERT_NE(begin, std::string::npos);
    const auto end = html.find('"', begin);
    const QByteArray encoded =
        QByteArray::fromStdString(html.substr(begin + marker.size(), end - begin - marker.size()));
    QImage embedded;
    ASSERT_TRUE(embedded.loadFromData(QByteArray::fromBase64(encoded), "PNG"));
    EXPECT_EQ(embedded.size(), png.size());

    QMenu actions;
    menu.AddActions(actions);
    QStringList texts;
    for (const QAction* action : actions.actions())
        texts << action->text();
    EXPECT_EQ(texts, QStringList(
                         {"Save chart as PNG...", "Export per-second CSV...", "Export report..."}));
}

// A judged run's report asks for the sign-off page's title; a run without lines does not.
TEST(ChartExportTest, ReportTitleHeadsTheSignOffPage) {
    TempFolder folder;
    ConsoleData data;
    RunFeeder feeder(data);
    feeder.Begin(2, 60);
    for (int second = 0; second < 6; ++second) {
        feeder.Line(1, RateLine(second, 500));
        feeder.Line(2, RateLine(second, 250));
    }
    QWidget chart;
    chart.resize(300, 120);
    ChartExportMenu menu(&chart, data, QString::fromStdString(folder.File("")));
    const QString path = QString::fromStdString(folder.File("run.html"));
    menu.SetPathChooser([&](const QString&, const QString&, const QString&) { return path; });
    std::vector<QString> proposed;
    std::optional<QString> answer = QString("Floor 3 <switch> roll-out");
    menu.SetTitleChooser([&](const QString& last) {
        proposed.push_back(last);
        return answer;
    });

    menu.AskAndExportReport();
    EXPECT_TRUE(proposed.empty()) << "asked for a title without a sign-off page";
    EXPECT_EQ(ReadFile(path.toStdString()).find("class=\"signoff\""), std::string::npos);

    data.settings.passLines.minThroughput = ThroughputLine{300.0, false};
    data.judgement = JudgeRun(data, BaselineAverages{});
    menu.AskAndExportReport();
    ASSERT_EQ(proposed.size(), 1u);
    EXPECT_EQ(proposed[0], "");
    std::string html = ReadFile(path.toStdString());
    EXPECT_NE(html.find("<h1>Floor 3 &lt;switch&gt; roll-out</h1>"), std::string::npos);

    // The next export proposes the title given; a cancelled question writes nothing.
    ASSERT_TRUE(QFile::remove(path));
    answer.reset();
    menu.AskAndExportReport();
    ASSERT_EQ(proposed.size(), 2u);
    EXPECT_EQ(proposed[1], "Floor 3 <switch> roll-out");
    EXPECT_FALSE(QFile::exists(path));

    // An empty title leaves the page its own heading.
    answer = QString("  ");
    menu.AskAndExportReport();
    html = ReadFile(path.toStdString());
    EXPECT_NE(html.find("<h1>Acceptance of the measured links</h1>"), std::string::npos);
}

// Without a replacement the title is asked in a dialog of its own, wide enough for one.
TEST(ChartExportTest, TheTitleDialogProposesTheLastTitle) {
    TempFolder folder;
    ConsoleData data;
    RunFeeder feeder(data);
    feeder.Begin(1, 60);
    for (int second = 0; second < 6; ++second)
        feeder.Line(1, RateLine(second, 500));
    data.settings.passLines.minThroughput = ThroughputLine{300.0, false};
    data.judgement = JudgeRun(data, BaselineAverages{});
    QWidget chart;
    ChartExportMenu menu(&chart, data, QString::fromStdString(folder.File("")));
    const QString path = QString::fromStdString(folder.File("run.html"));
    menu.SetPathChooser([&](const QString&, const QString&, const QString&) { return path; });
    QStringList seen;
    const auto answerWith = [&](const QString& title) {
        QTimer::singleShot(50, [&seen, title] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            seen << dialog->labelText() << dialog->textValue();
            EXPECT_GE(dialog->width(), 400);
            dialog->setTextValue(title);
            dialog->accept();
        });
    };
    answerWith("Block B cabling");
    menu.AskAndExportReport();
    answerWith("Block C cabling");
    menu.AskAndExportReport();
    EXPECT_EQ(seen, QStringList({"Title of the sign-off page:", "",
                                 "Title of the sign-off page:", "Block B cabling"}));
    EXPECT_NE(ReadFile(path.toStdString()).find("<h1>Block C cabling</h1>"), std::string::npos);
}

}  // namespace
}  // namespace quarn::console
