#include "console/core/measurement_run.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "console/core/event_loop.h"
#include "console/core/unauthenticated_note.h"
#include "tests/unit/console_core/iperf_capture.h"
#include "tests/unit/console_core/recording_view.h"
#include "tests/unit/console_core/scripted_sessions.h"

namespace quarn::console {
namespace {

using namespace std::chrono_literals;
using test::SessionScript;

constexpr std::uint32_t kOwnAddress = 0xC612000A;  // 198.18.0.10

// "%04d-%02d-%02d %02d:%02d:%02d"
bool LooksLikeMeasuredAt(const std::string& text) {
    int y, mo, d, h, mi, sec;
    char extra;
    return text.size() == 19 && text[4] == '-' &&
           std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &sec,
                       &extra) == 6;
}

std::string Interval(int second, int rate) {
    return "[  1] " + std::to_string(second) + ".0000-" + std::to_string(second + 1) +
           ".0000 sec  100 MBytes  " + std::to_string(rate) + " Mbits/sec";
}

// Everything a run talks to, built on the test's thread (the loop thread).
struct Harness {
    Harness() {
        environment.ownAddress = kOwnAddress;
        run.SetStartDelay(0ms);
    }

    int AddPair(const std::string& endpoint1, bool active = true) {
        PairConfig pair;
        pair.endpoint1 = endpoint1;
        pair.endpoint2 = "198.18.0.20";
        const PairId id = data.AddPair(std::move(pair));
        if (!active) {
            data.table.SetActive({id}, false);
        }
        return data.table.RowOf(id);
    }

    bool WaitFor(const std::function<bool()>& condition) { return loop.RunUntil(condition, 10s); }
    bool WaitForIdle() {
        return WaitFor([&] { return !run.Measuring(); });
    }
    std::vector<std::string> NoticeTexts() const {
        std::vector<std::string> texts;
        for (const auto& notice : view.notices) {
            texts.push_back(notice.second);
        }
        return texts;
    }

    EventLoop loop;
    ConsoleData data;
    test::RecordingView view;
    test::FakeEnvironment environment;
    test::ScriptedSessionFactory sessions;
    MeasurementRun run{data, view, loop, sessions, environment};
};

TEST(MeasurementRunTest, RefusesBadSettingsWithTheFirstFailingCheck) {
    struct Case {
        int activePairs;
        int inactivePairs;
        const char* duration;
        int udp;
        const char* value;
        const char* notice;
    };
    const Case cases[] = {
        {0, 0, "0", 0, "9", MeasurementRun::kNoPair},
        {1, 0, "0", 0, "9", MeasurementRun::kDurationNotPositive},
        {1, 0, "-5", 0, "5", MeasurementRun::kDurationNotPositive},
        {1, 0, "abc", 0, "5", MeasurementRun::kDurationNotPositive},
        {1, 0, "259201", 0, "5", MeasurementRun::kDurationTooLong},
        {0, 2, "abc", 0, "5", MeasurementRun::kDurationNotPositive},
        {0, 2, "60", 0, "9", MeasurementRun::kNoActivePair},
        {1, 0, "60", 0, "0", MeasurementRun::kWindowNotPositive},
        {1, 0, "60", 0, "5.01", MeasurementRun::kWindowTooLarge},
        {1, 0, "60", 0, "nan", MeasurementRun::kWindowNotPositive},
        {1, 0, "60", 1, "0", MeasurementRun::kThroughputNotPositive},
        {1, 0, "60", 1, "-3", MeasurementRun::kThroughputNotPositive},
        {1, 0, "60", 1, "inf", MeasurementRun::kThroughputNotPositive},
        // Written for iperf as "0.000000m": no rate at all.
        {1, 0, "60", 1, "0.0000001", MeasurementRun::kThroughputNotPositive},
        {1, 0, "60", 1, "100000.01", MeasurementRun::kThroughputTooLarge},
        {1, 0, "60", 1, "1e9", MeasurementRun::kThroughputTooLarge},
    };
    for (const Case& c : cases) {
        Harness h;
        for (int i = 0; i < c.activePairs; ++i) {
            h.AddPair("198.18.0.30");
        }
        for (int i = 0; i < c.inactivePairs; ++i) {
            h.AddPair("198.18.0.30", false);
        }
        h.data.settings.durationText = c.duration;
        h.data.settings.protocol = c.udp ? Protocol::Udp : Protocol::Tcp;
        h.data.settings.ValueText() = c.value;
        EXPECT_FALSE(h.run.Start()) << c.notice;
        EXPECT_EQ(h.NoticeTexts(), std::vector<std::string>{c.notice})
            << c.duration << " " << c.value;
        EXPECT_FALSE(h.run.Measuring());
        EXPECT_TRUE(h.sessions.probes.empty());
        EXPECT_EQ(h.environment.restarts, 0);
    }
}

TEST(MeasurementRunTest, AcceptsTheLimitsAndPassesThemToTheSessions) {
    struct Case {
        const char* duration;
        int udp;
        const char* value;
        const char* time;
        const char* rateText;
    };
    const Case cases[] = {
        {"1", 0, "5", "301", "5.000000m"},         {"259200", 0, "0.5", "259500", "0.500000m"},
        {"10", 1, "1000", "310", "1000.000000m"},  {"10", 1, "100000", "310", "100000.000000m"},
        {"10", 1, "0.000001", "310", "0.000001m"},
    };
    for (const Case& c : cases) {
        Harness h;
        h.AddPair("198.18.0.30");
        h.data.settings.durationText = c.duration;
        h.data.settings.protocol = c.udp ? Protocol::Udp : Protocol::Tcp;
        h.data.settings.ValueText() = c.value;
        ASSERT_TRUE(h.run.Start()) << c.duration;
        EXPECT_TRUE(h.view.notices.empty());
        ASSERT_EQ(h.sessions.probes.size(), 1u);
        const PairJob& job = h.sessions.probes[0]->job;
        EXPECT_EQ(job.time, c.time);
        EXPECT_EQ(job.rateText, c.rateText);
        EXPECT_EQ(job.udp, c.udp != 0);
        EXPECT_EQ(job.interval, "1");
        h.run.Complete(false);
        EXPECT_EQ(h.NoticeTexts(), std::vector<std::string>{MeasurementRun::kStopped});
    }
}

// A link-local End Point 2 carries this machine's zone: only a client this Console runs
// itself can use it; another End Point 1 would have its EndPoint refuse the command.
TEST(MeasurementRunTest, ALinkLocalEndPoint2NeedsThisMachineAsEndPoint1) {
    {
        Harness h;
        h.AddPair("198.18.0.31");
        h.AddPair("198.18.0.32");
        h.data.table[2].config.endpoint2 = "fe80::3%eth0";
        EXPECT_FALSE(h.run.Start());
        EXPECT_EQ(h.NoticeTexts(),
                  std::vector<std::string>{
                      "Pair2: End Point 1 can reach the link-local fe80::3%eth0 only if it is "
                      "this machine; give End Point 2's unique-local or global address."});
        EXPECT_TRUE(h.sessions.probes.empty());
        EXPECT_EQ(h.environment.restarts, 0);
    }
    Harness h;
    h.AddPair("198.18.0.10");  // this machine
    h.AddPair("198.18.0.31");
    h.AddPair("198.18.0.32", false);  // inactive: not run, not refused
    h.data.table[1].config.endpoint2 = "fe80::3%eth0";
    h.data.table[2].config.endpoint2 = "fd00:77::3";
    h.data.table[3].config.endpoint2 = "fe80::3%eth0";
    ASSERT_TRUE(h.run.Start()) << h.NoticeTexts().front();
    ASSERT_EQ(h.sessions.probes.size(), 2u);
    EXPECT_FALSE(h.sessions.probes[0]->job.remote);
    EXPECT_EQ(h.sessions.probes[0]->job.endpoint2, "fe80::3%eth0");
    h.run.Complete(false);
}

TEST(MeasurementRunTest, StartSetsUpEveryActivePair) {
    Harness h;
    h.AddPair("198.18.0.10");         // this machine: local mode
    h.AddPair("198.18.0.30", false);  // inactive
    h.AddPair("198.18.0.31");         // another machine: remote mode
    h.data.table[3].config.parallel = 4;
    h.data.measuredAt = "2020-01-01 00:00:00";
    h.data.settings.durationText = "10";
    ASSERT_TRUE(h.run.Start());

    EXPECT_TRUE(h.run.Measuring());
    EXPECT_EQ(h.environment.leftoverEnds, 1);
    EXPECT_EQ(h.environment.restarts, 1);
    EXPECT_TRUE(h.data.measuredAt.empty());
    EXPECT_TRUE(h.data.table.All().config.showTotal);
    EXPECT_EQ(h.data.chart.Series().size(), 4u);
    ASSERT_EQ(h.sessions.probes.size(), 2u);
    const PairJob& local = h.sessions.probes[0]->job;
    const PairJob& remote = h.sessions.probes[1]->job;
    EXPECT_EQ(local.index, 1);
    EXPECT_FALSE(local.remote);
    EXPECT_EQ(remote.index, 3);
    EXPECT_TRUE(remote.remote);
    EXPECT_EQ(remote.parallel, 4);
    EXPECT_EQ(remote.iperfPath, "/opt/quarn/iperf");
    EXPECT_EQ(h.data.table[1].run.client, ClientSide::Console);
    EXPECT_EQ(h.data.table[3].run.client, ClientSide::EndPoint1);
    EXPECT_EQ(h.data.table[1].figures.statusText, "Running");
    EXPECT_EQ(h.data.table[2].figures.statusText, "Inactive");

    h.run.Complete(false);
    EXPECT_EQ(h.data.table[1].figures.statusText, "Stopped");
    EXPECT_EQ(h.data.table[2].figures.statusText, "Inactive");
    EXPECT_EQ(h.environment.restarts, 2);
    EXPECT_FALSE(h.data.measuredAt.empty());
}

TEST(MeasurementRunTest, RunOfRealOutputCompletesAtItsDuration) {
    Harness h;
    h.AddPair("198.18.0.30");
    h.data.settings.durationText = "10";
    SessionScript script;
    script.lines = test::PlainCaptureLines("iperf-2.1.8-server-tcp-12s.txt");
    h.sessions.Script(1, script);
    ASSERT_TRUE(h.run.Start());
    ASSERT_TRUE(h.WaitForIdle());

    const PairRecord& pair = h.data.table[1];
    ASSERT_EQ(h.view.notices.size(), 1u);
    EXPECT_EQ(h.view.notices[0].first, NoticeKind::Completed);
    EXPECT_EQ(h.view.notices[0].second, MeasurementRun::kCompleted);
    EXPECT_EQ(pair.figures.statusText, "Done");
    EXPECT_EQ(h.run.Ticks(), 10);
    EXPECT_EQ(h.data.ticks, 10);
    EXPECT_EQ(h.data.chart.RunLength(), 10);
    EXPECT_TRUE(LooksLikeMeasuredAt(h.data.measuredAt)) << h.data.measuredAt;
    // The run ended on the twelfth interval; the total after it arrived too late.
    EXPECT_EQ(h.data.logs.Of(pair.id).Size(), script.lines.size() - 1);
    EXPECT_TRUE(h.WaitFor([&] { return h.sessions.probes[0]->returned.load(); }));
    EXPECT_TRUE(h.sessions.probes[0]->aborted);
    EXPECT_FALSE(h.run.FirstTickSeen());
}

// A keyed Console's session says in the log when an EndPoint took the pair without the
// key; the pair keeps that for its tooltip until its next run.
TEST(MeasurementRunTest, APairThatRanUnauthenticatedSaysSoUntilItsNextRun) {
    Harness h;
    h.AddPair("198.18.0.30");
    h.data.settings.durationText = "3";
    SessionScript unkeyed;
    unkeyed.lines = test::PlainCaptureLines("iperf-2.1.8-server-tcp-12s.txt");
    unkeyed.lines.insert(unkeyed.lines.begin(), UnauthenticatedLine("198.18.0.20"));
    h.sessions.Script(1, unkeyed);
    SessionScript keyed;
    keyed.lines = test::PlainCaptureLines("iperf-2.1.8-server-tcp-12s.txt");
    h.sessions.Script(1, keyed);
    ASSERT_TRUE(h.run.Start());
    ASSERT_TRUE(h.WaitForIdle());
    EXPECT_EQ(h.data.table[1].run.unauthenticated, std::vector<std::string>{"198.18.0.20"});

    ASSERT_TRUE(h.run.Start());
    ASSERT_TRUE(h.WaitForIdle());
    EXPECT_EQ(h.data.table[1].figures.statusText, "Done");
    EXPECT_TRUE(h.data.table[1].run.unauthenticated.empty());
}

// Stop in the warm-up cannot end the run at once (there is nothing to show yet): it waits
// for the first processed tick and ends the run there.
TEST(MeasurementRunTest, StopBeforeTheFirstTickWaitsForIt) {
    Harness h;
    h.AddPair("198.18.0.30");
    SessionScript script;
    script.lines = {Interval(0, 10), Interval(1, 10), Interval(2, 10), Interval(3, 10)};
    script.gateBefore = 2;
    h.sessions.Script(1, script);
    ASSERT_TRUE(h.run.Start());
    ASSERT_TRUE(h.WaitFor([&] { return h.data.logs.Of(h.data.table[1].id).Size() == 2; }));
    EXPECT_EQ(h.run.WarmupTicks(), 2);

    const int modeChanges = h.view.modeChanges;
    h.run.StartOrStop();
    EXPECT_TRUE(h.run.Measuring());
    EXPECT_TRUE(h.run.StopPending());
    EXPECT_EQ(h.view.modeChanges, modeChanges + 1);  // the face shows the waiting
    EXPECT_TRUE(h.view.notices.empty());
    h.run.StartOrStop();  // a second press changes nothing
    EXPECT_EQ(h.view.modeChanges, modeChanges + 1);

    h.sessions.probes[0]->gateOpen = true;
    ASSERT_TRUE(h.WaitForIdle());
    EXPECT_FALSE(h.run.StopPending());
    EXPECT_EQ(h.NoticeTexts(), std::vector<std::string>{MeasurementRun::kStopped});
    EXPECT_EQ(h.data.table[1].figures.statusText, "Stopped");
    EXPECT_EQ(h.data.table[1].figures.countText, "1");
    EXPECT_EQ(h.run.Ticks(), 1);
}

// A pair that sends lines but never a sample would hold the run until iperf's own limit.
TEST(MeasurementRunTest, PendingStopIsForcedWhenNoTickComes) {
    Harness h;
    h.run.SetForcedStopDelay(300ms);
    h.AddPair("198.18.0.30");
    h.AddPair("198.18.0.31");
    SessionScript talking;
    talking.lines = {"------------------------------------------------------------",
                     "Client connecting to 198.18.0.20, TCP port 5001", Interval(0, 10)};
    h.sessions.Script(1, talking);
    SessionScript silent;
    silent.lines = {"Client connecting to 198.18.0.20, TCP port 5001"};
    h.sessions.Script(2, silent);
    ASSERT_TRUE(h.run.Start());
    ASSERT_TRUE(h.WaitFor([&] { return h.data.logs.Of(h.data.table[1].id).Size() == 3; }));

    h.run.StartOrStop();
    EXPECT_TRUE(h.run.StopPending());
    h.loop.RunFor(100ms);
    EXPECT_TRUE(h.run.Measuring());  // still waiting within the delay
    ASSERT_TRUE(h.WaitForIdle());
    EXPECT_FALSE(h.run.StopPending());
    EXPECT_EQ(h.NoticeTexts(), std::vector<std::string>{MeasurementRun::kStopped});
    EXPECT_EQ(h.data.table[1].figures.statusText, "Stopped");
    EXPECT_EQ(h.data.table[2].figures.statusText, "Stopped");
    EXPECT_TRUE(h.WaitFor([&] {
        return h.sessions.probes[0]->returned.load() && h.sessions.probes[1]->returned.load();
    }));

    // The next run starts without a stop left over from this one.
    h.sessions.Script(1, talking);
    h.sessions.Script(2, silent);
    ASSERT_TRUE(h.run.Start());
    EXPECT_FALSE(h.run.StopPending());
    h.loop.RunFor(500ms);
    EXPECT_TRUE(h.run.Measuring());
}

// A forced stop that was armed in a run already stopped by its first tick does nothing to
// the next run.
TEST(MeasurementRunTest, ForcedStopOfAnEndedRunLeavesTheNextAlone) {
    Harness h;
    h.run.SetForcedStopDelay(300ms);
    h.AddPair("198.18.0.30");
    SessionScript script;
    script.lines = {Interval(0, 10), Interval(1, 10), Interval(2, 10)};
    script.gateBefore = 2;
    h.sessions.Script(1, script);
    ASSERT_TRUE(h.run.Start());
    ASSERT_TRUE(h.WaitFor([&] { return h.data.logs.Of(h.data.table[1].id).Size() == 2; }));
    h.run.StartOrStop();
    h.sessions.probes[0]->gateOpen = true;
    ASSERT_TRUE(h.WaitForIdle());

    SessionScript quiet;
    quiet.lines = {"Client connecting to 198.18.0.20, TCP port 5001"};
    h.sessions.Script(1, quiet);
    ASSERT_TRUE(h.run.Start());
    h.loop.RunFor(600ms);
    EXPECT_TRUE(h.run.Measuring());
    EXPECT_EQ(h.NoticeTexts().size(), 1u);
}

// A local pair's End Point 1 is this machine: its link is the interface towards End
// Point 2, replacing what a search said of the address; remote pairs ask nothing.
TEST(MeasurementRunTest, LocalPairsTakeThisMachinesLinkTowardsEndPoint2) {
    Harness h;
    const int local = h.AddPair("198.18.0.10");
    h.data.table[local].config.endpoint2 = "198.18.5.2";
    h.AddPair("198.18.0.31");
    const int unknown = h.AddPair("198.18.0.10");  // towards .20, which no interface reaches
    h.data.links["198.18.0.10"] = LinkFacts{"default0", 100, true, 1500, false, {}};
    h.environment.linksTowards["198.18.5.2"] = LinkFacts{"eth5", 1000, true, 9000, false, {}};
    h.data.settings.durationText = "10";
    ASSERT_TRUE(h.run.Start());

    EXPECT_EQ(h.environment.linksAskedTowards,
              (std::vector<std::string>{"198.18.5.2", "198.18.0.20"}));
    const LinkFacts& link = h.data.links.at("198.18.0.10");
    EXPECT_EQ(link.interfaceName, "eth5");
    EXPECT_EQ(link.mtu, 9000);
    EXPECT_FALSE(h.data.links.contains("198.18.0.31"));
    EXPECT_EQ(h.data.table[unknown].run.client, ClientSide::Console);
    h.run.Complete(false);
}

TEST(MeasurementRunTest, EndOfTheLocalStreamMakesStopPossible) {
    Harness h;
    h.AddPair("198.18.0.10");
    SessionScript script;
    script.streamEnded = true;
    h.sessions.Script(1, script);
    ASSERT_TRUE(h.run.Start());
    ASSERT_TRUE(h.WaitFor([&] { return h.run.FirstTickSeen(); }));
    h.run.StartOrStop();
    EXPECT_EQ(h.NoticeTexts(), std::vector<std::string>{MeasurementRun::kStopped});
}

TEST(MeasurementRunTest, FailureLineEndsTheRunWithAnError) {
    Harness h;
    h.AddPair("198.18.0.30");
    h.AddPair("198.18.0.31");
    SessionScript failing;
    failing.lines = {"------------------------------------------------------------",
                     "tcp connect failed: Connection refused", Interval(0, 5)};
    h.sessions.Script(2, failing);
    ASSERT_TRUE(h.run.Start());
    ASSERT_TRUE(h.WaitForIdle());
    EXPECT_EQ(h.NoticeTexts(), std::vector<std::string>{MeasurementRun::kFailed});
    EXPECT_EQ(h.data.table[2].figures.statusText, "Error");
    EXPECT_EQ(h.data.table[1].figures.statusText, "Stopped");
    // iperf's own line names the cause, before the lines received.
    const PairLog& log = h.data.logs.Of(h.data.table[2].id);
    ASSERT_EQ(log.Size(), 4u);
    EXPECT_EQ(std::string(log.Text(0)).rfind("Error at ", 0), 0u) << log.Text(0);
    EXPECT_NE(std::string(log.Text(0)).find("End Point 2 198.18.0.20's iperf reported an error"),
              std::string::npos)
        << log.Text(0);
    EXPECT_EQ(log.Text(1), "iperf: tcp connect failed: Connection refused");
    EXPECT_EQ(log.Text(3), "tcp connect failed: Connection refused");
    EXPECT_FALSE(h.data.table[1].run.failure.has_value()) << "a stopped pair did not fail";
}

// The cause leads the log; the lines received keep their order and counted marks.
TEST(MeasurementRunTest, SessionCauseLeadsTheLogOfTheFailedPair) {
    Harness h;
    h.AddPair("198.18.0.30");
    h.data.settings.durationText = "10";
    SessionScript script;
    script.lines = {"header", Interval(0, 5), Interval(1, 6), Interval(2, 7)};
    script.waitForAbort = false;
    PairFailure failure;
    failure.kind = FailureKind::EndedEarly;
    failure.address = "198.18.0.30";
    failure.detail = "Connection reset by peer";
    script.failure = failure;
    h.sessions.Script(1, script);
    ASSERT_TRUE(h.run.Start());
    ASSERT_TRUE(h.WaitForIdle());

    const PairRecord& pair = h.data.table[1];
    EXPECT_EQ(pair.figures.statusText, "Error");
    ASSERT_TRUE(pair.run.failure.has_value());
    EXPECT_EQ(pair.run.failure->seconds, pair.figures.count);
    EXPECT_EQ(pair.run.failure->duration, std::chrono::seconds(10));
    ASSERT_EQ(h.data.logs.Of(pair.id).Size(), 6u);
    const std::string first(h.data.logs.Of(pair.id).Text(0));
    const std::string received =
        std::to_string(pair.figures.count) + (pair.figures.count == 1 ? " second" : " seconds");
    EXPECT_NE(
        first.find("End Point 1 198.18.0.30's stream ended early, after " + received + " of 10."),
        std::string::npos)
        << first;
    EXPECT_EQ(h.data.logs.Of(pair.id).Text(1), "Connection reset by peer");
    EXPECT_EQ(h.data.logs.Of(pair.id).Text(2), "header");
    EXPECT_EQ(h.data.logs.Of(pair.id).Text(5), Interval(2, 7));
    // Counted marks move with their lines: the cause and the header are never counted.
    EXPECT_FALSE(h.data.logs.Of(pair.id).Counted(0) || h.data.logs.Of(pair.id).Counted(1) ||
                 h.data.logs.Of(pair.id).Counted(2));
    int counted = 0;
    for (std::size_t i = 3; i < 6; ++i) {
        counted += h.data.logs.Of(pair.id).Counted(i) ? 1 : 0;
    }
    EXPECT_EQ(counted > 0, pair.figures.count > 0);
    EXPECT_EQ(h.NoticeTexts(), std::vector<std::string>{MeasurementRun::kFailed});

    // The next run starts without the old cause.
    h.sessions.Script(1, SessionScript{});
    ASSERT_TRUE(h.run.Start());
    EXPECT_FALSE(h.data.table[1].run.failure.has_value());
    EXPECT_TRUE(h.data.logs.Of(h.data.table[1].id).Empty());
    h.run.Quit();
}

// Without a cause from the session the run names the side whose stream it read.
TEST(MeasurementRunTest, EarlyEndWithoutACauseNamesTheStreamsEndPoint) {
    for (const bool local : {false, true}) {
        Harness h;
        h.AddPair(local ? "198.18.0.10" : "198.18.0.30");  // .10 is this machine
        SessionScript script;
        script.waitForAbort = false;
        h.sessions.Script(1, script);
        ASSERT_TRUE(h.run.Start());
        ASSERT_TRUE(h.WaitForIdle());
        const PairRecord& pair = h.data.table[1];
        ASSERT_TRUE(pair.run.failure.has_value()) << local;
        EXPECT_EQ(pair.run.failure->kind, FailureKind::EndedEarly);
        EXPECT_EQ(pair.run.failure->side, local ? FailureSide::EndPoint2 : FailureSide::EndPoint1);
        EXPECT_EQ(pair.run.failure->address, local ? "198.18.0.20" : "198.18.0.30");
        EXPECT_EQ(h.data.logs.Of(pair.id).Size(), 1u);
    }
}

TEST(MeasurementRunTest, PairWhoseSessionCannotStartBlamesThisConsole) {
    Harness h;
    h.AddPair("198.18.0.30");
    SessionScript script;
    script.cannotStart = true;
    h.sessions.Script(1, script);
    EXPECT_TRUE(h.run.Start());
    ASSERT_EQ(h.data.logs.Of(h.data.table[1].id).Size(), 1u);
    EXPECT_NE(std::string(h.data.logs.Of(h.data.table[1].id).Text(0))
                  .find("This Console could not start the pair's measurement."),
              std::string::npos);
}

// A marking sent to an EndPoint that never announced it would be refused as a bad command
// mid-run; the pair fails before it with the cause, and the other pair still runs.
TEST(MeasurementRunTest, PairWithAnOptionItsEndPointDoesNotTakeFailsAloneBeforeTheRun) {
    Harness h;
    h.AddPair("198.51.100.7");
    h.AddPair("198.51.100.9");
    h.data.table[1].config.traffic.dscp = 46;
    h.data.table[2].config.traffic.dscp = 46;
    h.data.links["198.51.100.9"].takes = {TrafficOption::Dscp};
    ASSERT_TRUE(h.run.Start());
    EXPECT_TRUE(h.run.Measuring());
    ASSERT_EQ(h.sessions.probes.size(), 1u);
    EXPECT_EQ(h.sessions.probes[0]->job.index, 2);
    EXPECT_EQ(h.sessions.probes[0]->job.traffic.dscp, 46);
    EXPECT_EQ(h.data.table[1].figures.state, PairState::Error);
    ASSERT_TRUE(h.data.table[1].run.failure);
    EXPECT_EQ(h.data.table[1].run.failure->kind, FailureKind::OptionNotTaken);
    h.run.Complete(false);
    const PairLog& log = h.data.logs.Of(h.data.table[1].id);
    ASSERT_GE(log.Size(), 1u);
    EXPECT_TRUE(
        std::string(log.Text(0))
            .ends_with("End Point 1 198.51.100.7 does not take DSCP marking: an older EndPoint"))
        << log.Text(0);
}

// Seconds are complete without the pair that never started, so the run reaches its end.
TEST(MeasurementRunTest, RunWithAPairRefusedBeforeTheStartCompletesWithTheOthers) {
    Harness h;
    h.AddPair("198.51.100.7");
    h.AddPair("198.51.100.9");
    h.data.table[1].config.traffic.mss = 1000;
    h.data.settings.durationText = "10";
    SessionScript script;
    script.lines = test::PlainCaptureLines("iperf-2.1.8-server-tcp-12s.txt");
    h.sessions.Script(2, script);
    ASSERT_TRUE(h.run.Start());
    ASSERT_TRUE(h.WaitForIdle());
    EXPECT_EQ(h.NoticeTexts(), std::vector<std::string>{MeasurementRun::kCompleted});
    EXPECT_EQ(h.run.Ticks(), 10);
    EXPECT_EQ(h.data.table[2].figures.statusText, "Done");
    EXPECT_EQ(h.data.table[1].figures.statusText, "Error");
    EXPECT_EQ(h.data.table[1].figures.count, 0);
}

TEST(MeasurementRunTest, LengthBeyondTheProtocolsBoundsRefusesTheRun) {
    Harness h;
    h.AddPair("198.51.100.7");
    h.data.table[1].config.traffic.length = 70000;
    h.data.settings.protocol = Protocol::Udp;
    h.data.settings.ValueText() = "10";
    EXPECT_FALSE(h.run.Start());
    EXPECT_EQ(h.NoticeTexts(),
              std::vector<std::string>{"A UDP datagram size can be set from 20 to 65507 bytes."});
    EXPECT_TRUE(h.sessions.probes.empty());
}

TEST(MeasurementRunTest, WorkerEndingBeforeTheDurationIsAnError) {
    Harness h;
    h.AddPair("198.18.0.30");
    SessionScript script;
    script.lines = {Interval(0, 5), Interval(1, 5), Interval(2, 5), Interval(3, 5)};
    script.waitForAbort = false;
    script.result = MeasurementEnd::Failed;
    h.sessions.Script(1, script);
    ASSERT_TRUE(h.run.Start());
    ASSERT_TRUE(h.WaitForIdle());
    EXPECT_EQ(h.NoticeTexts(), std::vector<std::string>{MeasurementRun::kFailed});
    EXPECT_EQ(h.data.table[1].figures.statusText, "Error");
    EXPECT_EQ(h.data.table[1].run.result, PairResult::Failed);
    EXPECT_TRUE(h.data.table[1].run.finished);
    EXPECT_EQ(h.data.chart.RunLength(), 2);
}

TEST(MeasurementRunTest, RunWhoseOnlySessionCannotStartEndsAtOnce) {
    Harness h;
    h.AddPair("198.18.0.30");
    SessionScript script;
    script.cannotStart = true;
    h.sessions.Script(1, script);
    EXPECT_TRUE(h.run.Start());
    EXPECT_FALSE(h.run.Measuring());
    EXPECT_EQ(h.NoticeTexts(), std::vector<std::string>{MeasurementRun::kFailed});
    EXPECT_EQ(h.data.table[1].figures.statusText, "Error");
    EXPECT_EQ(h.data.table[1].run.result, PairResult::Failed);
}

TEST(MeasurementRunTest, StopDuringTheStartDelayNeverStartsTheSession) {
    Harness h;
    h.run.SetStartDelay(30s);
    h.AddPair("198.18.0.30");
    ASSERT_TRUE(h.run.Start());
    const auto start = std::chrono::steady_clock::now();
    h.run.Complete(false);
    h.run.Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_FALSE(h.sessions.probes[0]->runCalled);
    EXPECT_EQ(h.run.WorkerThreads(), 0u);
}

TEST(MeasurementRunTest, ShutdownReleasesWorkersWaitingForTheMainThread) {
    Harness h;
    h.AddPair("198.18.0.30");
    h.AddPair("198.18.0.31");
    SessionScript script;
    script.lines = {Interval(0, 5)};
    h.sessions.Script(1, script);
    h.sessions.Script(2, script);
    ASSERT_TRUE(h.run.Start());
    // Nobody runs the loop: both workers end up blocked in Send.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (
        (h.sessions.probes[0]->linesAttempted == 0 || h.sessions.probes[1]->linesAttempted == 0) &&
        std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    const auto start = std::chrono::steady_clock::now();
    h.run.Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(h.run.WorkerThreads(), 0u);
    EXPECT_TRUE(h.sessions.probes[0]->returned);
    EXPECT_TRUE(h.data.logs.Of(h.data.table[1].id).Empty());
}

TEST(MeasurementRunTest, WorkerQueuesItsLinesWithoutWaitingForTheMainThread) {
    Harness h;
    h.AddPair("198.18.0.30");
    SessionScript script;
    script.lines = {"first", "second", Interval(0, 5)};
    script.waitForAbort = false;
    h.sessions.Script(1, script);
    ASSERT_TRUE(h.run.Start());
    // Nobody runs the loop, yet the worker gets through all of its lines.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!h.sessions.probes[0]->returned && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(h.sessions.probes[0]->returned);
    EXPECT_TRUE(h.data.logs.Of(h.data.table[1].id).Empty());

    // The copies arrive in order once the loop runs, and the worker's end after them.
    ASSERT_TRUE(h.WaitFor([&] { return h.data.logs.Of(h.data.table[1].id).Size() == 3; }));
    const PairLog& log = h.data.logs.Of(h.data.table[1].id);
    EXPECT_EQ(log.Text(0), "first");
    EXPECT_EQ(log.Text(1), "second");
    EXPECT_EQ(log.Text(2), Interval(0, 5));
    ASSERT_TRUE(h.WaitForIdle());
    EXPECT_EQ(h.data.table[1].figures.state, PairState::Error);
}

TEST(MeasurementRunTest, LateLinesOfAnEarlierRunAreIgnored) {
    Harness h;
    h.AddPair("198.18.0.30");
    SessionScript late;
    late.lines = {Interval(0, 5), Interval(1, 5), Interval(2, 5), Interval(3, 777)};
    late.gateBefore = 3;
    late.ignoreStop = true;
    late.waitForAbort = false;
    h.sessions.Script(1, late);
    h.sessions.Script(1, SessionScript{});
    ASSERT_TRUE(h.run.Start());
    ASSERT_TRUE(h.WaitFor([&] { return h.run.FirstTickSeen(); }));
    h.run.StartOrStop();
    ASSERT_FALSE(h.run.Measuring());

    ASSERT_TRUE(h.run.Start());
    EXPECT_EQ(h.run.WorkerThreads(), 2u);
    h.sessions.probes[0]->gateOpen = true;
    ASSERT_TRUE(h.WaitFor([&] { return h.sessions.probes[0]->returned.load(); }));
    h.loop.RunFor(50ms);  // lets its worker-ended event through
    EXPECT_TRUE(h.run.Measuring());
    EXPECT_TRUE(h.data.logs.Of(h.data.table[1].id).Empty());
    EXPECT_EQ(h.data.table[1].figures.statusText, "Running");
    EXPECT_EQ(h.NoticeTexts(), std::vector<std::string>{MeasurementRun::kStopped});

    h.run.Complete(false);
    // The finished worker of the first run is joined by the next start.
    ASSERT_TRUE(h.WaitFor([&] { return h.sessions.probes[1]->returned.load(); }));
    h.loop.RunFor(20ms);
    h.sessions.Script(1, SessionScript{});
    ASSERT_TRUE(h.run.Start());
    EXPECT_EQ(h.run.WorkerThreads(), 1u);
}

TEST(MeasurementRunTest, ShutdownFromTheCompletionNoticeDoesNotDeadlock) {
    auto h = std::make_unique<Harness>();
    h->AddPair("198.18.0.30");
    h->data.settings.durationText = "1";
    SessionScript script;
    script.lines = {Interval(0, 5), Interval(1, 5), Interval(2, 5)};
    h->sessions.Script(1, script);
    h->view.onNotice = [&] { h->run.Shutdown(); };
    ASSERT_TRUE(h->run.Start());
    ASSERT_TRUE(h->WaitForIdle());
    EXPECT_EQ(h->NoticeTexts(), std::vector<std::string>{MeasurementRun::kCompleted});
    EXPECT_TRUE(h->loop.Closed());
    const auto start = std::chrono::steady_clock::now();
    h.reset();  // the destructor joins the worker
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST(MeasurementRunTest, QuitEndsWithoutCompletion) {
    Harness h;
    h.AddPair("198.18.0.30");
    ASSERT_TRUE(h.run.Start());
    // The quitting "restart" must come after every worker is gone, or a worker still
    // setting up its pair could start iperf that nothing ends.
    std::size_t workersAtRestart = 99;
    h.environment.onRestart = [&] { workersAtRestart = h.run.WorkerThreads(); };
    h.run.Quit();
    EXPECT_EQ(workersAtRestart, 0u);
    EXPECT_TRUE(h.run.Closing());
    EXPECT_TRUE(h.view.notices.empty());
    EXPECT_EQ(h.environment.restarts, 2);
    EXPECT_EQ(h.run.WorkerThreads(), 0u);
    EXPECT_FALSE(h.run.Start());
}

TEST(MeasurementRunTest, StartClearsTheHighlightAndAnnouncesTheRunBeforeItsMode) {
    Harness h;
    h.AddPair("198.18.0.30");
    h.AddPair("198.18.0.31");
    h.data.highlighted = h.data.table.IdAt(2);
    bool measuringAtRunStart = false;
    PairId highlightAtRunStart = h.data.highlighted;
    h.view.onRunStarted = [&] {
        measuringAtRunStart = h.run.Measuring();
        highlightAtRunStart = h.data.highlighted;
    };
    ASSERT_TRUE(h.run.Start());
    EXPECT_EQ(h.view.runStarts, 1);
    EXPECT_TRUE(measuringAtRunStart);
    EXPECT_FALSE(highlightAtRunStart.Valid());
    EXPECT_EQ(h.view.modeChangesAtRunStart, 0);  // before the start's ModeChanged
    EXPECT_EQ(h.view.modeChanges, 1);
    h.run.Complete(false);
    EXPECT_EQ(h.view.runStarts, 1);  // completion is a ModeChanged, not a run start

    // A refused start announces nothing and keeps the highlight.
    h.data.highlighted = h.data.table.IdAt(1);
    h.data.settings.durationText = "0";
    EXPECT_FALSE(h.run.Start());
    EXPECT_EQ(h.view.runStarts, 1);
    EXPECT_EQ(h.data.highlighted, h.data.table.IdAt(1));
}

TEST(MeasurementRunTest, EventOfAWorkerBlockedWhenTheRunIsDestroyedIsDropped) {
    EventLoop loop;
    ConsoleData data;
    test::RecordingView view;
    test::FakeEnvironment environment;
    test::ScriptedSessionFactory sessions;
    PairConfig pair;
    pair.endpoint1 = "198.18.0.30";
    pair.endpoint2 = "198.18.0.20";
    data.AddPair(pair);
    SessionScript script;
    script.lines = {Interval(0, 5)};
    sessions.Script(1, script);
    auto run = std::make_unique<MeasurementRun>(data, view, loop, sessions, environment);
    run->SetStartDelay(0ms);
    ASSERT_TRUE(run->Start());
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (sessions.probes[0]->linesAttempted == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    // The worker waits in Send with its line; the run goes away without running the loop.
    run.reset();
    EXPECT_TRUE(sessions.probes[0]->returned);
    EXPECT_EQ(loop.RunPending(), 0);
    EXPECT_TRUE(data.logs.Of(data.table[1].id).Empty());
    EXPECT_FALSE(view.lastLogPair.Valid());
}

}  // namespace
}  // namespace quarn::console
