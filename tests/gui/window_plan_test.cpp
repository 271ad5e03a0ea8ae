#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "console/ui/file_panel.h"
#include "console/ui/main_window.h"
#include "console/ui/notice_panel.h"
#include "console/ui/window_files.h"
#include "console/ui/window_plan.h"
#include "tests/gui/named_child.h"
#include "tests/gui/session_window.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/console_core/scripted_sessions.h"
#include "widgets/skin_button.h"

using quarn::test::NamedChild;

namespace quarn::console::ui::plan_test {
namespace {

using namespace std::chrono_literals;

void ClickAt(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(5, 5));
}

// A pair's run scripted second by second: to its end, or stopped after its first seconds.
test::SessionScript ScriptedRun(bool completes) {
    test::SessionScript script;
    for (int second = 0; second <= 3; ++second)
        script.lines.push_back("[  1] " + std::to_string(second) + ".0000-" +
                               std::to_string(second + 1) +
                               ".0000 sec  5.00 MBytes  40.0 Mbits/sec");
    if (!completes)
        script.lines.resize(3);
    script.waitForAbort = !completes;
    return script;
}

class WindowPlanTest : public ::testing::Test {
  protected:
    WindowPlanTest() : window(Options(), ShortIntro()), plan(window.Plan()) {
        window.Run().SetStartDelay(0ms);
        window.show();
        window.EndIntro();
        plan.SetOpenChooser([this](const QString&, const QString&, const QString& filter) {
            chosenFilter = filter;
            return QString::fromStdString(planPath);
        });
        plan.SetSaveChooser([this](const QString&, const QString& proposed, const QString&) {
            proposedReport = proposed;
            return QString::fromStdString(reportPath);
        });
    }

    SessionOptions Options() {
        SessionOptions options;
        options.historyDir = folder.File("runs");
        options.interfaces = {"quarn-none0"};
        options.sessions = &factory;
        options.environment = &environment;
        return options;
    }
    static MainWindow::Options ShortIntro() {
        MainWindow::Options options;
        options.introTime = 1ms;
        return options;
    }

    void WritePlan(const std::string& text) { std::ofstream(planPath) << text; }
    // "Run plan..." as the operator reaches it: the file button, then the panel's button.
    void ChooseRunPlan() {
        ClickAt(window.FileMenuButton());
        ASSERT_TRUE(window.Files().Panel()->isVisible());
        ClickAt(NamedChild<widgets::SkinButton>(*window.Files().Panel(), "runPlan"));
        EXPECT_FALSE(window.Files().Panel()->isVisible());
    }
    bool NoticeSays(const QString& text, int timeoutMs = 5000) {
        return QTest::qWaitFor([&] { return window.Notice()->Text() == text; }, timeoutMs);
    }

    test_support::TempDir folder;
    test::ScriptedSessionFactory factory;
    test::FakeEnvironment environment;
    gui_test::SessionWindow window;
    WindowPlan& plan;
    std::string planPath = folder.File("night.yaml");
    std::string reportPath = folder.File("night.html");
    QString chosenFilter;
    QString proposedReport;
};

const char* const kTwoSteps =
    "name: Night\n"
    "pairs:\n  - 198.18.0.2,198.18.0.3\n"
    "steps:\n"
    "  - name: Warm up\n    duration: 3\n"
    "  - name: Voice\n    protocol: udp\n    duration: 3\n";

TEST_F(WindowPlanTest, EachStepIsAnnouncedAndTheReportIsOfferedAtTheEnd) {
    factory.Script(1, ScriptedRun(true));
    factory.Script(1, ScriptedRun(true));
    WritePlan(kTwoSteps);
    ChooseRunPlan();
    EXPECT_EQ(chosenFilter, QStringLiteral("Test plans (*.yaml *.yml)"));
    EXPECT_TRUE(plan.Runner().Running());
    ASSERT_EQ(window.Data().table.PairCount(), 1);
    EXPECT_EQ(window.Data().table[1].config.endpoint1, "198.18.0.2");

    ASSERT_TRUE(QTest::qWaitFor([&] { return !plan.Runner().Running(); }, 10000));
    ASSERT_EQ(plan.Runner().Steps().size(), 2u);
    EXPECT_EQ(window.Data().settings.protocol, Protocol::Udp);
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(reportPath); }, 5000));
    EXPECT_EQ(proposedReport, QStringLiteral("Night.html"));
    std::ifstream file(reportPath);
    const std::string html((std::istreambuf_iterator<char>(file)), {});
    EXPECT_NE(html.find("Warm up"), std::string::npos);
    EXPECT_NE(html.find("Voice"), std::string::npos);
    // Each step's section carries the chart the window drew of its run.
    const std::string chart = "src=\"data:image/png;base64,";
    const std::size_t first = html.find(chart);
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(html.find(chart, first + 1), std::string::npos);
    EXPECT_TRUE(NoticeSays(QString::fromStdString("Report " + reportPath)));
}

// The step's notice stays up while it runs (the screenshot); Stop ends the plan after
// saying so, and the report of the step that ran is still offered.
TEST_F(WindowPlanTest, TheStepIsShownWhileItRunsAndStopEndsThePlan) {
    factory.Script(1, ScriptedRun(false));
    WritePlan(kTwoSteps);
    ChooseRunPlan();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.Run().FirstTickSeen(); }, 5000));
    EXPECT_EQ(window.Notice()->Text(), QStringLiteral("Step 1 of 2: Warm up"));
    EXPECT_EQ(window.DurationEdit()->text(), QStringLiteral("3"));
    QDir().mkpath(QStringLiteral(QUARN_GUI_SHOT_DIR));
    window.grab().save(QStringLiteral(QUARN_GUI_SHOT_DIR "/main_window_plan_step.png"));

    // The notice holds the window until confirmed; then Stop is pressed.
    ClickAt(NamedChild<widgets::SkinButton>(*window.Notice(), "confirm"));
    QTest::mouseClick(NamedChild<widgets::SkinButton>(window, "startStop"), Qt::LeftButton, {},
                      QPoint(40, 12));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !plan.Runner().Running(); }, 5000));
    ASSERT_EQ(plan.Runner().Steps().size(), 1u);
    EXPECT_FALSE(plan.Runner().Steps()[0].completed);
    EXPECT_TRUE(window.Session().Idle());
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(reportPath); }, 5000));
}

// A plan that does not read is refused before anything runs, with its file and line.
TEST_F(WindowPlanTest, ARefusedPlanShowsItsFileAndLine) {
    WritePlan(
        "name: Bad\npairs:\n  - 198.18.0.2,198.18.0.3\nsteps:\n  - name: A\n"
        "    dscp: XX\n");
    ChooseRunPlan();
    EXPECT_FALSE(plan.Runner().Running());
    EXPECT_TRUE(window.Session().Idle());
    const QString text = window.Notice()->Text();
    EXPECT_TRUE(text.startsWith(QString::fromStdString(planPath + ":6: dscp expects")))
        << text.toStdString();
    EXPECT_EQ(window.Data().table.PairCount(), 0);
}

}  // namespace
}  // namespace quarn::console::ui::plan_test
