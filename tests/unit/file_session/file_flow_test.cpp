#include "console/files/file_flow.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "console/core/event_loop.h"
#include "console/files/config_file.h"
#include "tests/unit/console_core/pair_rows.h"
#include "tests/unit/console_files/config_test_support.h"

namespace quarn::console {
namespace {

using test::ConfigFileBytes;
using test::DescribeSavedState;
using test::MeasuredState;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// The dialogs answer from a queue of prepared answers and remember what they were asked.
class ScriptedDialogs : public FileDialogs {
  public:
    std::optional<std::string> ChooseOpenPath(const std::string& folder) override {
        openFolders.push_back(folder);
        return Next();
    }
    std::optional<std::string> ChooseSavePath(FileCommand command, const std::string& folder,
                                              const std::string& initialPath) override {
        saveAsked.push_back({command, folder, initialPath});
        return Next();
    }

    struct SaveQuestion {
        FileCommand command;
        std::string folder;
        std::string initialPath;
    };
    std::deque<std::optional<std::string>> answers;
    std::vector<std::string> openFolders;
    std::vector<SaveQuestion> saveAsked;

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

class RecordingHost : public FileFlowHost {
  public:
    explicit RecordingHost(ConsoleData& data) : data_(data) {}
    bool IsIdle() const override { return !busy; }
    void CommitEditsToSettings() override { ++commits; }
    void PerformNew() override {
        data_.ResetToNew();
        ++news;
        loadingAtNew = data_.chart.Loading();
    }
    void SetFileBusy(bool value) override { busy = value; }
    void ShowNotice(NoticeKind kind, std::string_view text) override {
        notices.emplace_back(kind, std::string(text));
        noticeTimes.push_back(std::chrono::steady_clock::now());
    }
    void FileFinished(FileCommand command, ConfigResult result) override {
        finished.emplace_back(command, result);
    }

    bool busy = false;
    int commits = 0;
    int news = 0;
    bool loadingAtNew = false;
    std::vector<std::pair<NoticeKind, std::string>> notices;
    std::vector<std::chrono::steady_clock::time_point> noticeTimes;
    std::vector<std::pair<FileCommand, ConfigResult>> finished;

  private:
    ConsoleData& data_;
};

class FileFlowTest : public ::testing::Test {
  protected:
    FileFlowTest() : host(data), session(data, loop, host, dialogs, dir.File("configs")) {
        session.SetProgressMinimum(std::chrono::milliseconds(5));
    }

    // Runs a command and the main loop until its result notice has come.
    void RunToEnd(FileCommand command) {
        const std::size_t before = host.finished.size();
        session.Run(command);
        if (!session.Busy()) {
            return;
        }
        ASSERT_TRUE(
            loop.RunUntil([&] { return host.finished.size() > before; }, std::chrono::seconds(10)));
    }

    std::pair<NoticeKind, std::string> LastNotice() const {
        return host.notices.empty() ? std::pair<NoticeKind, std::string>{} : host.notices.back();
    }

    TempDir dir;
    EventLoop loop;
    ConsoleData data;
    RecordingHost host;
    ScriptedDialogs dialogs;
    FileFlow session;
};

TEST_F(FileFlowTest, SavedRunComesBackAfterNewAndOpen) {
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("configs")));
    data = MeasuredState();
    data.logs.Of(data.table[1].id).Append("[  3] 0.0-1.0 sec  112 MBytes  940 Mbits/sec", true);
    const std::vector<PairId> idsAtSave = test::IdsAt(data.table, {1, 2, 3});
    const std::string path = dir.File("configs/run.config");
    dialogs.answers = {path};
    RunToEnd(FileCommand::Save);
    ASSERT_EQ(dialogs.saveAsked.size(), 1u);
    EXPECT_EQ(dialogs.saveAsked[0].command, FileCommand::Save);
    EXPECT_EQ(host.commits, 1);
    EXPECT_EQ(host.notices.front(),
              std::make_pair(NoticeKind::Progress, std::string("Saving measured data...")));
    EXPECT_EQ(LastNotice(),
              std::make_pair(NoticeKind::Info, std::string("Success to save the file.")));
    EXPECT_EQ(session.CurrentFilePath(), path);
    EXPECT_EQ(session.CurrentFileName(), "run.config");
    EXPECT_FALSE(host.busy);
    // The save took a copy without logs; the window's pairs and logs are untouched.
    EXPECT_EQ(test::IdsAt(data.table, {1, 2, 3}), idsAtSave);
    EXPECT_EQ(data.logs.Of(data.table[1].id).Size(), 1u);

    // What the file holds, read on its own, is what Open must bring back.
    ConsoleData expected;
    ASSERT_EQ(ReadConfigFile(path, expected, [&] { expected.ResetToNew(); }), ConfigResult::Done);

    session.Run(FileCommand::New);
    EXPECT_EQ(data.table.PairCount(), 0);
    EXPECT_TRUE(session.CurrentFileName().empty());
    EXPECT_TRUE(session.CurrentFilePath().empty());

    dialogs.answers = {path};
    const int newsBefore = host.news;
    RunToEnd(FileCommand::Open);
    EXPECT_EQ(host.news, newsBefore + 1);
    EXPECT_TRUE(host.loadingAtNew);  // the chart does not draw while the rows come in
    EXPECT_FALSE(data.chart.Loading());
    EXPECT_EQ(LastNotice(),
              std::make_pair(NoticeKind::Info, std::string("Success to open the file.")));
    EXPECT_EQ(host.finished.back(), std::make_pair(FileCommand::Open, ConfigResult::Done));
    EXPECT_EQ(DescribeSavedState(data), DescribeSavedState(expected));
    ASSERT_EQ(data.table.PairCount(), 3);
    // Opened pairs are new pairs: fresh ids, no logs; row k still carries curve k.
    const std::vector<PairId> opened = test::IdsAt(data.table, {1, 2, 3});
    EXPECT_EQ(std::set<PairId>(opened.begin(), opened.end()).size(), 3u);
    for (const PairId id : opened) {
        EXPECT_TRUE(id.Valid());
        EXPECT_EQ(std::count(idsAtSave.begin(), idsAtSave.end(), id), 0);
        EXPECT_EQ(data.logs.Find(id), nullptr);
    }
    EXPECT_EQ(data.table[2].config.parallel, 5);
    EXPECT_EQ(data.table[3].figures.statusText, "Inactive");
    EXPECT_EQ(data.table[1].figures.averageText, "12.34");
    ASSERT_EQ(data.chart.Series().size(), 4u);
    ASSERT_EQ(data.chart.Series()[2].size(), 4u);
    EXPECT_FLOAT_EQ(data.chart.Series()[2][3].value, 10.0f);
    EXPECT_EQ(data.chart.PairCount(), 3);
    EXPECT_EQ(data.chart.RunLength(), 120);
    EXPECT_EQ(data.chart.TickStep(), 10);
    EXPECT_TRUE(data.logs.Of(data.table[1].id).Empty());  // logs are not saved
    EXPECT_EQ(session.CurrentFileName(), "run.config");

    // Save now writes to the opened file without asking.
    data.table[1].config.endpoint1 = "198.18.5.5";
    RunToEnd(FileCommand::Save);
    EXPECT_EQ(dialogs.saveAsked.size(), 1u);
    ConsoleData again;
    ASSERT_EQ(ReadConfigFile(path, again, nullptr), ConfigResult::Done);
    EXPECT_EQ(again.table[1].config.endpoint1, "198.18.5.5");
}

TEST_F(FileFlowTest, WrongIdentifierLeavesAnEmptyTableAtOnce) {
    data = MeasuredState();
    session.SetProgressMinimum(std::chrono::milliseconds(3000));
    std::string bytes = ConfigFileBytes("[]\n[]\nAll 0 60 0 0 0.00 0.00 0.00 0.00 0 5 100\r\n");
    bytes[20] = 'X';
    const std::string path = dir.File("other.config");
    WriteBytes(path, bytes);
    dialogs.answers = {path};
    const auto started = std::chrono::steady_clock::now();
    RunToEnd(FileCommand::Open);
    // No progress hold for a file that is not a configuration file.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(2500));
    EXPECT_EQ(LastNotice(),
              std::make_pair(NoticeKind::Info, std::string("File format is not valid.")));
    EXPECT_EQ(host.finished.back(), std::make_pair(FileCommand::Open, ConfigResult::NotConfigFile));
    EXPECT_EQ(data.table.PairCount(), 0);
    EXPECT_TRUE(data.endPoints.empty());
    EXPECT_TRUE(data.chart.Series().empty());
    EXPECT_FALSE(data.chart.Loading());
    EXPECT_TRUE(session.CurrentFilePath().empty());
}

TEST_F(FileFlowTest, UnreadableFileKeepsTableAndSaveTarget) {
    data = MeasuredState();
    const std::string before = DescribeSavedState(data);
    // A folder cannot be opened as a file, even by root.
    const std::string unreadable = dir.File("folder.config");
    std::filesystem::create_directory(unreadable);
    dialogs.answers = {unreadable};
    RunToEnd(FileCommand::Open);
    EXPECT_EQ(LastNotice(),
              std::make_pair(NoticeKind::Message, std::string("Failed to open the file.")));
    EXPECT_EQ(DescribeSavedState(data), before);
    EXPECT_EQ(host.news, 0);
    EXPECT_TRUE(session.CurrentFilePath().empty());

    // There was no save target before, so Save asks for a name.
    const std::string target = dir.File("chosen.config");
    dialogs.answers = {target};
    RunToEnd(FileCommand::Save);
    ASSERT_EQ(dialogs.saveAsked.size(), 1u);
    EXPECT_NE(dialogs.saveAsked[0].initialPath, unreadable);
    EXPECT_EQ(session.CurrentFilePath(), target);

    // With a save target, a failed open keeps it.
    dialogs.answers = {dir.File("missing.config")};
    RunToEnd(FileCommand::Open);
    EXPECT_EQ(LastNotice().second, "Failed to open the file.");
    EXPECT_EQ(session.CurrentFilePath(), target);
    EXPECT_EQ(session.CurrentFileName(), "chosen.config");
}

TEST_F(FileFlowTest, FailedSaveIsReportedAndKeepsThePreviousFile) {
    data = MeasuredState();
    const std::string good = dir.File("good.config");
    dialogs.answers = {good};
    RunToEnd(FileCommand::Save);
    const std::string saved = ReadBytes(good);
    ASSERT_FALSE(saved.empty());
    host.notices.clear();

    // Save as into a folder that does not exist fails.
    const std::string bad = dir.File("no/such/folder/x.config");
    dialogs.answers = {bad};
    RunToEnd(FileCommand::SaveAs);
    ASSERT_EQ(dialogs.saveAsked.size(), 2u);
    EXPECT_EQ(dialogs.saveAsked[1].initialPath, good);  // Save as proposes the current file
    EXPECT_EQ(LastNotice(),
              std::make_pair(NoticeKind::Message, std::string("Failed to save the file.")));
    ASSERT_EQ(host.notices.size(), 2u);  // progress, then the failure only
    EXPECT_EQ(host.finished.back(),
              std::make_pair(FileCommand::SaveAs, ConfigResult::CannotAccess));
    EXPECT_EQ(session.CurrentFilePath(), good);
    EXPECT_EQ(ReadBytes(good), saved);
}

TEST_F(FileFlowTest, SaveNeedsAPairAndCancelChangesNothing) {
    RunToEnd(FileCommand::Save);
    EXPECT_EQ(LastNotice(),
              std::make_pair(NoticeKind::Message, std::string("Save after adding a pair.")));
    EXPECT_TRUE(dialogs.saveAsked.empty());

    data = MeasuredState();
    host.notices.clear();
    RunToEnd(FileCommand::Save);  // the dialog is cancelled
    ASSERT_EQ(dialogs.saveAsked.size(), 1u);
    EXPECT_EQ(host.commits, 1);  // the edits were taken even so
    EXPECT_TRUE(host.notices.empty());
    EXPECT_FALSE(session.Busy());
    // The first save proposes a name made from the local time, in the config folder.
    const std::string proposed = dialogs.saveAsked[0].initialPath;
    EXPECT_EQ(std::filesystem::path(proposed).parent_path(), dir.File("configs"));
    EXPECT_EQ(FileFlow::FileNamePart(proposed).size(),
              std::string("20240502_14h03m11s.config").size());

    RunToEnd(FileCommand::Open);  // cancelled as well
    EXPECT_EQ(dialogs.openFolders, std::vector<std::string>{dir.File("configs")});
    EXPECT_TRUE(host.notices.empty());
}

TEST_F(FileFlowTest, SaveWritesTheStateOfItsStartWhileTheWindowGoesOn) {
    data = MeasuredState();
    session.SetProgressMinimum(std::chrono::milliseconds(200));
    const std::string path = dir.File("snapshot.config");
    dialogs.answers = {path};
    session.Run(FileCommand::Save);
    ASSERT_TRUE(session.Busy());
    // The window keeps painting and the data may change meanwhile (a log line, say).
    for (int i = 0; i < 200; ++i) {
        data.logs.Of(data.table[1].id).Append("line " + std::to_string(i));
        data.table[2].figures.currentText = std::to_string(i);
        data.chart.MutableSeries()[0].push_back(ChartPoint{1.0f});
    }
    ASSERT_TRUE(loop.RunUntil([&] { return !session.Busy(); }, std::chrono::seconds(10)));
    EXPECT_EQ(LastNotice().second, "Success to save the file.");
    ConsoleData saved;
    ASSERT_EQ(ReadConfigFile(path, saved, nullptr), ConfigResult::Done);
    ConsoleData original = MeasuredState();
    // Compare through a file round trip of the original state (samples are rounded).
    const std::string reference = dir.File("reference.config");
    ASSERT_TRUE(WriteConfigFile(reference, original).Ok());
    ConsoleData referenceRead;
    ASSERT_EQ(ReadConfigFile(reference, referenceRead, nullptr), ConfigResult::Done);
    EXPECT_EQ(DescribeSavedState(saved), DescribeSavedState(referenceRead));
    EXPECT_EQ(data.logs.Of(data.table[1].id).Size(), 200u);
}

TEST_F(FileFlowTest, ProgressNoticeStaysAtLeastOneSecond) {
    session.SetProgressMinimum(FileFlow::kProgressMinimum);
    data = MeasuredState();
    dialogs.answers = {dir.File("quick.config")};
    RunToEnd(FileCommand::Save);
    ASSERT_EQ(host.notices.size(), 2u);
    EXPECT_EQ(host.notices[0].first, NoticeKind::Progress);
    EXPECT_GE(host.noticeTimes[1] - host.noticeTimes[0], std::chrono::milliseconds(1000));
}

TEST_F(FileFlowTest, ResultOfAGoneSessionIsDropped) {
    data = MeasuredState();
    auto other = std::make_unique<FileFlow>(data, loop, host, dialogs, dir.File("configs"));
    other->SetProgressMinimum(std::chrono::milliseconds(0));
    dialogs.answers = {dir.File("late.config")};
    other->Run(FileCommand::Save);
    ASSERT_TRUE(other->Busy());
    // Let the worker post its result, then drop the session before the loop runs it.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    other.reset();
    loop.RunFor(std::chrono::milliseconds(50));
    EXPECT_TRUE(host.finished.empty());
    EXPECT_EQ(host.notices.size(), 1u);  // only the progress notice

    // A session destroyed while its worker holds the progress notice ends promptly.
    auto slow = std::make_unique<FileFlow>(data, loop, host, dialogs, dir.File("configs"));
    slow->SetProgressMinimum(std::chrono::seconds(30));
    dialogs.answers = {dir.File("slow.config")};
    slow->Run(FileCommand::Save);
    const auto started = std::chrono::steady_clock::now();
    slow.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

TEST(FileFlowNames, DefaultNameAndFolders) {
    std::tm local{};
    local.tm_year = 2024 - 1900;
    local.tm_mon = 4;
    local.tm_mday = 2;
    local.tm_hour = 14;
    local.tm_min = 3;
    local.tm_sec = 11;
    local.tm_isdst = -1;
    const auto when = std::chrono::system_clock::from_time_t(std::mktime(&local));
    EXPECT_EQ(FileFlow::DefaultFileName(when), "20240502_14h03m11s.config");
    EXPECT_EQ(FileFlow::FileNamePart("/home/u/a b.config"), "a b.config");
    EXPECT_EQ(FileFlow::FileNamePart("plain.config"), "plain.config");
    EXPECT_EQ(FileFlow::ChooseConfigFolder("/home/u/Documents", "/opt/q"),
              "/home/u/Documents/Tolvex_Quarn_Configs");
    EXPECT_EQ(FileFlow::ChooseConfigFolder("", "/opt/q"), "/opt/q/configs");
}

}  // namespace
}  // namespace quarn::console
