// A measurement run whose workers reach the window thread through QtDispatcher and whose
// outcome is shown in the notice panel, as the main window wires them.
#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QTest>

#include <chrono>
#include <string>

#include "console/core/measurement_run.h"
#include "console/ui/notice_panel.h"
#include "console/ui/qt_dispatcher.h"
#include "tests/unit/console_core/scripted_sessions.h"

namespace quarn::console::ui {
namespace {

using namespace std::chrono_literals;

class PanelView : public ConsoleView {
  public:
    explicit PanelView(NoticePanel& panel) : panel_(panel) {}
    void ShowNotice(NoticeKind kind, std::string_view text) override {
        panel_.ShowNotice(kind, QString::fromUtf8(text.data(), static_cast<int>(text.size())));
    }

  private:
    NoticePanel& panel_;
};

std::string Interval(int second) {
    return "[  1] " + std::to_string(second) + ".0-" + std::to_string(second + 1) +
           ".0 sec  100 MBytes  840 Mbits/sec";
}

struct Window {
    Window() : panel(&widget), view(panel) {
        widget.resize(1115, 631);
        widget.show();
        PairConfig pair;
        pair.endpoint1 = "198.18.0.30";
        pair.endpoint2 = "198.18.0.20";
        data.AddPair(pair);
        run.SetStartDelay(0ms);
    }
    template <typename Condition>
    bool ProcessUntil(Condition done) {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < 10000) {
            QTest::qWait(5);
        }
        return done();
    }

    QWidget widget;
    NoticePanel panel;
    PanelView view;
    QtDispatcher dispatcher;
    ConsoleData data;
    test::FakeEnvironment environment;
    test::ScriptedSessionFactory sessions;
    MeasurementRun run{data, view, dispatcher, sessions, environment};
};

TEST(RunThroughQtTest, CompletionNoticeIsShownWhileTheWorkerIsReleased) {
    Window w;
    w.data.settings.durationText = "3";
    test::SessionScript script;
    for (int second = 0; second < 5; ++second) {
        script.lines.push_back(Interval(second));
    }
    w.sessions.Script(1, script);
    ASSERT_TRUE(w.run.Start());
    ASSERT_TRUE(w.ProcessUntil([&] { return !w.run.Measuring(); }));
    EXPECT_TRUE(w.panel.isVisible());
    EXPECT_EQ(w.panel.Kind(), NoticeKind::Completed);
    EXPECT_EQ(w.data.table[1].figures.countText, "3");
    // The worker was not kept waiting for the operator's Confirm.
    EXPECT_TRUE(w.ProcessUntil([&] { return w.sessions.probes[0]->returned.load(); }));
}

TEST(RunThroughQtTest, QuittingReleasesAWorkerBlockedInSend) {
    Window w;
    test::SessionScript script;
    script.lines = {Interval(0)};
    w.sessions.Script(1, script);
    ASSERT_TRUE(w.run.Start());
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (w.sessions.probes[0]->linesAttempted == 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    // No events processed: the line waits in the dispatcher. Quit closes it first.
    const auto start = std::chrono::steady_clock::now();
    w.run.Quit();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(w.run.WorkerThreads(), 0u);
    QTest::qWait(20);
    EXPECT_TRUE(w.data.logs.Of(w.data.table[1].id).Empty());
    EXPECT_FALSE(w.panel.isVisible());
}

}  // namespace
}  // namespace quarn::console::ui
