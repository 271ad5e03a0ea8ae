#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>

#include "console/core/run_environment.h"
#include "console/core/tick_processor.h"
#include "console/ui/caption_bar.h"
#include "console/ui/endpoint_list_box.h"
#include "console/ui/endpoint_panel.h"
#include "console/ui/file_panel.h"
#include "console/ui/help_window.h"
#include "console/ui/log_window.h"
#include "console/ui/main_commands.h"
#include "console/ui/main_window.h"
#include "console/ui/notice_panel.h"
#include "console/ui/pair_list_widget.h"
#include "console/ui/pair_setting_dialog.h"
#include "console/ui/window_files.h"
#include "tests/gui/file_panel_button.h"
#include "tests/gui/named_child.h"
#include "tests/gui/session_window.h"
#include "widgets/skin_button.h"

using quarn::test::NamedChild;

namespace quarn::console::ui {
namespace {

// The window's run side never reaches the network here.
class QuietEnvironment : public RunEnvironment {
  public:
    void EndLeftoverClients() override {}
    void BroadcastRestart() override {}
    std::optional<std::uint32_t> OwnAddress() override { return std::nullopt; }
    bool IsThisMachine(const std::string&) override { return false; }
    std::string IperfPath() override { return "iperf"; }
};

class AnsweringDialogs : public FileDialogs {
  public:
    std::optional<std::string> ChooseOpenPath(const std::string&) override { return Next(); }
    std::optional<std::string> ChooseSavePath(FileCommand, const std::string&,
                                              const std::string&) override {
        return Next();
    }
    std::deque<std::optional<std::string>> answers;

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

class Lines : public ConsoleView {
  public:
    void ShowNotice(NoticeKind, std::string_view) override {}
};

SessionOptions QuietSession(QuietEnvironment& environment) {
    SessionOptions options;
    options.interfaces = {"lo"};
    options.environment = &environment;
    return options;
}

MainWindow::Options ShortIntro() {
    MainWindow::Options options;
    options.introTime = std::chrono::milliseconds(1);
    return options;
}

void Click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(5, 5));
}

// Pixels in the caption's file-name area that differ from the caption's grey.
int FileNameInk(MainWindow& window) {
    const QImage image = window.grab().toImage();
    int ink = 0;
    for (int x = 512; x < window.width() - 90; ++x) {
        for (int y = 8; y < 28; ++y) {
            ink += image.pixelColor(x, y) != image.pixelColor(window.width() - 95, 30) ? 1 : 0;
        }
    }
    return ink;
}

class WindowFilesTest : public ::testing::Test {
  protected:
    WindowFilesTest() : window(QuietSession(environment), ShortIntro()), files(window.Files()) {
        files.SetDialogs(&dialogs);
        window.show();
        window.EndIntro();
        files.Session().SetProgressMinimum(std::chrono::milliseconds(10));
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quarn-window-XXXXXX").string();
        folder = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~WindowFilesTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    // Runs a File panel command as the operator does and confirms its result notice.
    QString RunFileCommand(FileCommand command) {
        Click(window.FileMenuButton());
        EXPECT_TRUE(files.Panel()->isVisible());
        Click(quarn::test::FilePanelButton(*files.Panel(), command));
        if (command == FileCommand::New) {
            return {};
        }
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return !files.Session().Busy() && window.Notice()->Kind() != NoticeKind::Progress;
            },
            10000));
        const QString text = window.Notice()->Text();
        Click(NamedChild<widgets::SkinButton>(*window.Notice(), "confirm"));
        QApplication::processEvents();
        return text;
    }

    QuietEnvironment environment;
    AnsweringDialogs dialogs;
    gui_test::SessionWindow window;
    WindowFiles& files;
    std::string folder;
};

TEST_F(WindowFilesTest, SaveNewOpenThroughTheWindow) {
    ConsoleData& data = window.Data();
    Lines lines;
    TickProcessor ticks(data, lines);
    for (int i = 0; i < 2; ++i) {
        PairConfig pair;
        pair.endpoint1 = "198.18.0." + std::to_string(10 + i);
        pair.endpoint2 = "198.18.1." + std::to_string(10 + i);
        data.AddPair(pair);
    }
    data.chart.BeginRun(2);
    ticks.BeginRun(std::chrono::seconds(60), false);
    for (int second = 0; second < 6; ++second) {
        for (int row = 1; row <= 2; ++row) {
            ticks.HandleLine(row, "[  3] " + std::to_string(second) + ".0-" +
                                      std::to_string(second + 1) + ".0 sec  112 MBytes  " +
                                      std::to_string(400 * row) + " Mbits/sec");
        }
    }
    window.UpdateLayout();
    window.RedrawList();
    const int noName = FileNameInk(window);

    Click(window.FileMenuButton());
    ASSERT_TRUE(files.Panel()->isVisible());
    EXPECT_EQ(files.Panel()->geometry(), QRect(window.width() - 112, 31, 112, 111));
    QDir().mkpath(QStringLiteral(QUARN_GUI_SHOT_DIR));
    window.grab().save(QStringLiteral(QUARN_GUI_SHOT_DIR "/main_window_file_panel.png"));
    Click(window.FileMenuButton());
    EXPECT_FALSE(files.Panel()->isVisible());

    const std::string path = folder + "/window.config";
    dialogs.answers = {path};
    EXPECT_EQ(RunFileCommand(FileCommand::Save), "Success to save the file.");
    EXPECT_EQ(window.Session().Mode(), ConsoleMode::Idle);
    EXPECT_GT(FileNameInk(window), noName + 20) << "the title shows window.config";

    files.Logs().Open(window.Data().table.IdAt(1), false);
    EXPECT_EQ(files.Logs().Count(), 1);
    RunFileCommand(FileCommand::New);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(data.table.PairCount(), 0);
    EXPECT_EQ(files.Logs().Count(), 0);
    EXPECT_EQ(FileNameInk(window), noName);

    window.ValueEdit()->setText("3");
    dialogs.answers = {path};
    EXPECT_EQ(RunFileCommand(FileCommand::Open), "Success to open the file.");
    ASSERT_EQ(data.table.PairCount(), 2);
    EXPECT_EQ(data.table[2].figures.currentText, "800.00");
    EXPECT_EQ(window.ValueEdit()->text(), "5");  // the file's window size
    EXPECT_EQ(window.DurationEdit()->text(), "60");
    EXPECT_EQ(data.chart.Series().size(), 3u);
    EXPECT_GT(FileNameInk(window), noName + 20);
    window.grab().save(QStringLiteral(QUARN_GUI_SHOT_DIR "/main_window_opened.png"));

    // Show Log from the context menu, and the help area.
    emit window.Commands().showLogRequested(window.Data().table.IdAt(2));
    ASSERT_NE(files.Logs().Find(window.Data().table.IdAt(2)), nullptr);
    EXPECT_EQ(files.Logs().Find(window.Data().table.IdAt(2))->NameText(), "Pair2");
    emit window.helpRequested();
    EXPECT_TRUE(HelpWindow::IsOpen());
    HelpWindow::Open()->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(WindowFilesTest, LogWindowsFollowDeleteAndCloseOnInactivate) {
    for (int i = 0; i < 3; ++i) {
        PairConfig pair;
        pair.endpoint1 = "198.18.0." + std::to_string(10 + i);
        pair.endpoint2 = "198.18.1." + std::to_string(10 + i);
        window.Data().AddPair(pair);
    }
    window.UpdateLayout();
    window.RedrawList();
    window.Data().logs.Of(window.Data().table[2].id).Append("pair two's line");
    emit window.Commands().showLogRequested(window.Data().table.IdAt(1));
    emit window.Commands().showLogRequested(window.Data().table.IdAt(2));
    LogWindow* second = files.Logs().Find(window.Data().table.IdAt(2));
    ASSERT_NE(second, nullptr);

    // "Delete pair" with Pair1 selected.
    PairListWidget* list = window.PairList();
    list->selectionModel()->select(list->model()->index(0, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    Click(NamedChild<widgets::SkinButton>(window, "deletePair"));
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(window.Data().table.PairCount(), 2);
    EXPECT_EQ(files.Logs().Count(), 1);
    EXPECT_EQ(files.Logs().Find(window.Data().table.IdAt(1)), second);
    EXPECT_EQ(second->windowTitle(), "Pair1 198.18.0.11  > 198.18.1.11  Log");
    ASSERT_EQ(NamedChild<QListView>(*second, "lines")->model()->rowCount(), 1);
    EXPECT_EQ(NamedChild<QListView>(*second, "lines")->model()->index(0, 0).data().toString(),
              "pair two's line");

    // "Exchange" and an edit of Pair2 (now row 1) retitle its window at once.
    list->clearSelection();
    list->selectionModel()->select(list->model()->index(0, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    window.Commands().ExchangeSelected();
    EXPECT_EQ(second->windowTitle(), "Pair1 198.18.1.11  > 198.18.0.11  Log");
    EXPECT_EQ(files.Logs().Find(window.Data().table.IdAt(1)), second);
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<PairSettingDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->Edit2()->setText(QStringLiteral("198.18.7.7"));
        NamedChild<widgets::SkinButton>(*dialog, "add")->click();
    });
    window.Commands().EditPair(window.Data().table.IdAt(1));
    EXPECT_EQ(window.Data().table[1].config.endpoint2, "198.18.7.7");
    EXPECT_EQ(second->windowTitle(), "Pair1 198.18.1.11  > 198.18.7.7  Log");
    // Pair3's window opened now stays Pair3's when the list changes under it.
    emit window.Commands().showLogRequested(window.Data().table.IdAt(2));
    LogWindow* third = files.Logs().Find(window.Data().table.IdAt(2));
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->windowTitle(), "Pair2 198.18.0.12  > 198.18.1.12  Log");

    // "Inactivate" closes it.
    QPointer<LogWindow> watched = second;
    list->clearSelection();
    list->selectionModel()->select(list->model()->index(0, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    window.Commands().ActivateSelected(false);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watched.isNull());
    EXPECT_EQ(files.Logs().Count(), 1);
    EXPECT_EQ(files.Logs().Find(window.Data().table.IdAt(2)), third);
}

TEST_F(WindowFilesTest, FailedOpenLeavesTheWindowAsItWas) {
    PairConfig pair;
    pair.endpoint1 = "198.18.0.10";
    pair.endpoint2 = "198.18.1.10";
    window.Data().AddPair(pair);
    window.UpdateLayout();
    dialogs.answers = {folder};  // a folder cannot be read as a file
    EXPECT_EQ(RunFileCommand(FileCommand::Open), "Failed to open the file.");
    EXPECT_EQ(window.Data().table.PairCount(), 1);
    EXPECT_EQ(window.Session().Mode(), ConsoleMode::Idle);
    EXPECT_FALSE(window.Data().chart.Loading());
}

// The EndPoint lists show the names a file holds, as they did after the search.
TEST_F(WindowFilesTest, OpenShowsTheEndPointNames) {
    ConsoleData& data = window.Data();
    EXPECT_TRUE(data.ApplySearchResult(
                        {EndPointEntry{"198.18.0.10", "5001", "45000", "lab-a", "lab-a", "(lab-a"},
                         EndPointEntry{"198.18.1.10", "5001", "45000", "", "", ""}})
                    .Ok());
    PairRecord pair;
    pair.config.endpoint1 = "198.18.0.10";
    pair.config.endpoint2 = "198.18.1.10";
    data.AddPair(pair.config);
    const std::string path = folder + "/names.config";
    dialogs.answers = {path};
    ASSERT_EQ(RunFileCommand(FileCommand::Save), "Success to save the file.");
    RunFileCommand(FileCommand::New);
    ASSERT_FALSE(window.EndPoints()->List(1)->EndPointsKnown());

    dialogs.answers = {path};
    ASSERT_EQ(RunFileCommand(FileCommand::Open), "Success to open the file.");
    for (int list : {1, 2}) {
        EndPointListBox* box = window.EndPoints()->List(list);
        ASSERT_TRUE(box->EndPointsKnown());
        ASSERT_EQ(box->count(), 2);
        EXPECT_EQ(box->Label(0), QStringLiteral("(lab-a"));
        EXPECT_EQ(box->Label(1), QString());
    }
}

// Quarn_Console FILE: the window opens the file once its intro has ended, as Open does.
TEST_F(WindowFilesTest, FileGivenAtStartOpensAfterTheIntro) {
    PairConfig pair;
    pair.endpoint1 = "198.18.0.10";
    pair.endpoint2 = "198.18.1.10";
    window.Data().AddPair(pair);
    const std::string path = folder + "/start.config";
    dialogs.answers = {path};
    ASSERT_EQ(RunFileCommand(FileCommand::Save), "Success to save the file.");

    QuietEnvironment otherEnvironment;
    MainWindow::Options options;
    options.introTime = std::chrono::hours(1);
    options.openFile = path;
    gui_test::SessionWindow second(QuietSession(otherEnvironment), std::move(options));
    second.show();
    EXPECT_EQ(second.Data().table.PairCount(), 0) << "nothing opens during the intro";
    second.EndIntro();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return !second.Files().Session().Busy() &&
                   second.Notice()->Kind() != NoticeKind::Progress;
        },
        10000));
    EXPECT_EQ(second.Notice()->Text(), "Success to open the file.");
    ASSERT_EQ(second.Data().table.PairCount(), 1);
    EXPECT_EQ(second.Data().table[1].config.endpoint2, "198.18.1.10");
    EXPECT_EQ(second.Files().Session().CurrentFilePath(), path);
}

}  // namespace
}  // namespace quarn::console::ui
