#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "console/core/run_environment.h"
#include "console/session/console_session.h"
#include "console/ui/console_signals.h"
#include "console/ui/main_commands.h"
#include "console/ui/notice_panel.h"
#include "console/ui/qt_dispatcher.h"

namespace quarn::console::ui {
namespace {

TEST(ConsoleSignals, ReEmitsEachCallOfTheCore) {
    ConsoleSignals events;
    std::vector<std::string> seen;
    QObject::connect(&events, &ConsoleSignals::noticeRequested,
                     [&](NoticeKind kind, const QString& text) {
                         seen.push_back((kind == NoticeKind::Completed ? "completed " : "other ") +
                                        text.toStdString());
                     });
    QObject::connect(&events, &ConsoleSignals::listChanged, [&] { seen.push_back("list"); });
    QObject::connect(&events, &ConsoleSignals::tickProcessed,
                     [&](int ticks, std::chrono::seconds duration) {
                         seen.push_back("tick " + std::to_string(ticks) + "/" +
                                        std::to_string(duration.count()));
                     });
    QObject::connect(&events, &ConsoleSignals::modeChanged, [&] { seen.push_back("mode"); });
    const PairId first = PairId::Next();
    const PairId second = PairId::Next();
    QObject::connect(&events, &ConsoleSignals::logChanged, [&](PairId pair) {
        seen.push_back(pair == second ? "log second" : "log other");
    });
    QObject::connect(&events, &ConsoleSignals::logsCounted, [&](const std::vector<PairId>& pairs) {
        seen.push_back("counted " + std::to_string(pairs.size()));
    });
    QObject::connect(&events, &ConsoleSignals::runStarted, [&] { seen.push_back("started"); });

    ConsoleView& view = events;
    view.RunStarted();
    view.ModeChanged();
    view.LogChanged(second);
    view.LogsCounted({first, second});
    view.TickProcessed(4, std::chrono::seconds(60));
    view.RedrawList();
    view.ShowNotice(NoticeKind::Completed, "측정 완료");
    EXPECT_EQ(seen, (std::vector<std::string>{"started", "mode", "log second", "counted 2",
                                              "tick 4/60", "list", "completed 측정 완료"}));
}

// The run side never reaches the network here.
class QuietEnvironment : public RunEnvironment {
  public:
    void EndLeftoverClients() override {}
    void BroadcastRestart() override {}
    std::optional<std::uint32_t> OwnAddress() override { return std::nullopt; }
    bool IsThisMachine(const std::string&) override { return false; }
    std::string IperfPath() override { return "iperf"; }
};

class FakeInputs : public CommandInputs {
  public:
    std::vector<PairId> SelectedPairs() const override { return selected; }
    std::string DurationText() const override { return duration; }
    std::string ValueText() const override { return value; }
    std::optional<std::string> EndPointSelection(int list) const override {
        return list == 1 ? endPoint1 : endPoint2;
    }
    QWidget* DialogParent() override { return &parent; }

    std::vector<PairId> selected;
    std::string duration = "10";
    std::string value = "5";
    std::optional<std::string> endPoint1;
    std::optional<std::string> endPoint2;
    QWidget parent;
};

// The commands work on a session and a few inputs, with no main window.
class MainCommandsTest : public ::testing::Test {
  protected:
    MainCommandsTest() : session(Options(), dispatcher), commands(session, inputs) {
        session.AttachView(&events);
        QObject::connect(
            &events, &ConsoleSignals::noticeRequested,
            [this](NoticeKind, const QString& text) { notices.push_back(text.toStdString()); });
        QObject::connect(&commands, &MainCommands::shapeChanged, [this] { ++shapeChanges; });
        QObject::connect(&events, &ConsoleSignals::tableChanged, [this] { ++rowsChanges; });
    }
    ~MainCommandsTest() override { session.AttachView(nullptr); }

    SessionOptions Options() {
        SessionOptions options;
        options.interfaces = {"quarn-none0"};
        options.environment = &environment;
        return options;
    }
    void AddPairs(int count) {
        for (int i = 0; i < count; ++i) {
            PairConfig pair;
            pair.endpoint1 = "198.18.0." + std::to_string(10 + i);
            pair.endpoint2 = "198.18.1." + std::to_string(10 + i);
            session.Data().AddPair(pair);
        }
    }

    QuietEnvironment environment;
    QtDispatcher dispatcher;
    ConsoleSession session;
    ConsoleSignals events;
    FakeInputs inputs;
    MainCommands commands;
    std::vector<std::string> notices;
    int shapeChanges = 0;
    int rowsChanges = 0;
};

TEST_F(MainCommandsTest, AddingFromTheListsNeedsBothSelectionsAndReportsTheNewShape) {
    session.Data().endPointsKnown = true;
    inputs.endPoint1 = "198.18.0.2";
    commands.AddFromLists();
    EXPECT_EQ(notices, (std::vector<std::string>{"Select End Point 2."}));
    EXPECT_EQ(shapeChanges, 0);

    inputs.endPoint2 = "198.18.0.3";
    commands.AddFromLists();
    ASSERT_EQ(session.Data().table.PairCount(), 1);
    EXPECT_EQ(session.Data().table[1].config.endpoint2, "198.18.0.3");
    EXPECT_EQ(shapeChanges, 1);
    EXPECT_EQ(rowsChanges, 1);
}

TEST_F(MainCommandsTest, DeletingKeepsTheOtherPairsByTheirIds) {
    AddPairs(3);
    const PairTable& table = session.Data().table;
    const PairId first = table.IdAt(1);
    const PairId second = table.IdAt(2);
    const PairId third = table.IdAt(3);
    int deletions = 0;
    QObject::connect(&commands, &MainCommands::pairsDeleted, [&] { ++deletions; });
    commands.DeleteSelected();
    EXPECT_EQ(notices, (std::vector<std::string>{"Select pair to delete."}));
    EXPECT_EQ(deletions, 0);

    inputs.selected = {second};
    commands.DeleteSelected();
    ASSERT_EQ(table.PairCount(), 2);
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(table.IdAt(1), first);
    EXPECT_EQ(table.IdAt(2), third);  // moved up a row, same pair
    EXPECT_FALSE(table.Contains(second));
    EXPECT_EQ(table[2].name, "Pair2");
    EXPECT_EQ(shapeChanges, 1);
}

TEST_F(MainCommandsTest, StartTakesTheTypedSettingsAndRefusesThroughTheSession) {
    AddPairs(1);
    inputs.duration = "0";
    inputs.value = "7";
    commands.StartOrStop();
    EXPECT_EQ(session.Data().settings.durationText, "0");
    EXPECT_EQ(session.Data().settings.windowSizeText, "7");
    EXPECT_EQ(notices, (std::vector<std::string>{MeasurementRun::kDurationNotPositive}));
    EXPECT_EQ(session.Mode(), ConsoleMode::Idle);
}

TEST_F(MainCommandsTest, SwitchingTheProtocolKeepsEachProtocolsValue) {
    std::vector<QString> shown;
    QObject::connect(&commands, &MainCommands::protocolSwitched,
                     [&](const QString& text) { shown.push_back(text); });
    inputs.value = "3";
    commands.SwitchProtocol(1);
    EXPECT_EQ(session.Data().settings.protocol, Protocol::Udp);
    inputs.value = "40";
    commands.SwitchProtocol(1);  // no change: nothing shown
    commands.SwitchProtocol(0);
    EXPECT_EQ(shown, (std::vector<QString>{"100", "3"}));
    EXPECT_EQ(session.Data().settings.throughputText, "40");
}

TEST_F(MainCommandsTest, TheQuitQuestionGoesThroughTheSession) {
    commands.AskQuit();
    EXPECT_EQ(notices, (std::vector<std::string>{NoticePanel::kQuitText}));
}

}  // namespace
}  // namespace quarn::console::ui
