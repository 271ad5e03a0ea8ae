#include "console/core/pair_notes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/core/console_data.h"
#include "console/core/unauthenticated_note.h"

namespace quarn::console {
namespace {

PairFailure Failure(FailureKind kind, FailureSide side) {
    PairFailure failure;
    failure.kind = kind;
    failure.side = side;
    failure.address = "198.18.1.20";
    failure.port = 45000;
    return failure;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(FailureLinesTest, NameTheEndPointWhatFailedAndWhen) {
    struct Case {
        PairFailure failure;
        const char* what;
    };
    PairFailure noAnswer = Failure(FailureKind::NoAnswer, FailureSide::EndPoint1);
    noAnswer.seconds = 10;
    PairFailure early = Failure(FailureKind::EndedEarly, FailureSide::EndPoint2);
    early.seconds = 1;
    early.duration = std::chrono::seconds(30);
    PairFailure silent = Failure(FailureKind::Silent, FailureSide::EndPoint1);
    silent.seconds = 20;
    const Case cases[] = {
        {noAnswer, "End Point 1 198.18.1.20 did not answer on TCP 45000 within 10 seconds."},
        {Failure(FailureKind::Refused, FailureSide::EndPoint2),
         "End Point 2 198.18.1.20 refused the connection on TCP 45000."},
        {early, "End Point 2 198.18.1.20's stream ended early, after 1 second of 30."},
        {silent, "End Point 1 198.18.1.20 sent nothing for 20 seconds."},
        {Failure(FailureKind::ServerNotStarted, FailureSide::EndPoint2),
         "End Point 2 198.18.1.20 did not start an iperf server"},
        {Failure(FailureKind::ClosedBeforeOutput, FailureSide::EndPoint1),
         "End Point 1 198.18.1.20 closed the connection before any iperf output."},
        {Failure(FailureKind::NotStarted, FailureSide::Console), "This Console could not start"},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> lines = FailureLines(c.failure);
        ASSERT_EQ(lines.size(), 1u) << c.what;
        EXPECT_EQ(lines[0].rfind("Error at ", 0), 0u) << lines[0];
        EXPECT_TRUE(Contains(lines[0], c.what)) << lines[0];
    }
}

TEST(FailureLinesTest, OwnTextFollowsOnALineOfItsOwn) {
    PairFailure failure = Failure(FailureKind::IperfError, FailureSide::Console);
    failure.detail = "connect failed: Connection refused";
    failure.when = std::chrono::system_clock::from_time_t(0) + std::chrono::hours(36);
    const std::vector<std::string> lines = FailureLines(failure);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(Contains(lines[0], "This Console's iperf reported an error.")) << lines[0];
    // The local date of 1970-01-02 12:00 UTC, whatever the zone.
    EXPECT_TRUE(Contains(lines[0], "1970-01-0")) << lines[0];
    EXPECT_EQ(lines[1], "iperf: connect failed: Connection refused");

    PairFailure system = Failure(FailureKind::Unreachable, FailureSide::EndPoint1);
    system.detail = "No route to host";
    EXPECT_EQ(FailureLines(system).back(), "No route to host");
}

TEST(PairNotesTest, MeasuredWithShowsOnlyAfterASwitchAndOnlyOverFigures) {
    PairRecord pair;
    pair.run.protocol = Protocol::Tcp;
    EXPECT_EQ(MeasuredWith(pair, true), "") << "no figures yet";
    pair.figures.count = 4;
    EXPECT_EQ(MeasuredWith(pair, false), "");
    EXPECT_EQ(MeasuredWith(pair, true), "TCP");
    pair.run.protocol = Protocol::Udp;
    EXPECT_EQ(MeasuredWith(pair, false), "UDP");
    EXPECT_EQ(MeasuredWith(pair, true), "");

    const std::vector<std::string> lines = PairNoteLines(pair, false);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "Figures measured with UDP; TCP is selected for the next run.");

    // The table answers with the first pair that shows figures, past one that shows none.
    PairTable table;
    PairRecord fresh;
    fresh.run.protocol = Protocol::Tcp;
    table.AppendPair(fresh);
    EXPECT_EQ(MeasuredWith(table, false), "");
    table.AppendPair(pair);
    EXPECT_EQ(MeasuredWith(table, false), "UDP");
    EXPECT_EQ(MeasuredWith(table, true), "");
}

TEST(PairNotesTest, FailureIsNotedWhileThePairShowsItsError) {
    PairRecord pair;
    pair.run.failure = Failure(FailureKind::Refused, FailureSide::EndPoint1);
    pair.figures.state = PairState::Error;
    std::vector<std::string> lines = PairNoteLines(pair, false);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(Contains(lines[0], "refused the connection")) << lines[0];
    pair.figures.state = PairState::Ready;
    EXPECT_TRUE(PairNoteLines(pair, false).empty());
}

// Figures belong to the addresses and stream count that produced them.
TEST(EditPairTest, ChangedAddressesOrStreamsClearFiguresAndSeries) {
    struct Case {
        const char* endpoint1;
        const char* endpoint2;
        int parallel;
        bool cleared;
    };
    const Case cases[] = {
        {"198.18.0.10", "198.18.0.20", 2, false},  // confirmed unchanged
        {"198.18.0.11", "198.18.0.20", 2, true},
        {"198.18.0.10", "198.18.0.21", 2, true},
        {"198.18.0.10", "198.18.0.20", 3, true},
        {"198.18.0.10", "198.18.0.20", 99, true},  // kept within 16, still a change
    };
    for (const Case& c : cases) {
        ConsoleData data;
        for (int i = 0; i < 2; ++i) {
            PairRecord pair;
            pair.config.endpoint1 = "198.18.0.10";
            pair.config.endpoint2 = "198.18.0.20";
            pair.config.parallel = 2;
            pair.figures.count = 3;
            pair.figures.max = 9.5f;
            pair.figures.maxText = "9.50";
            pair.figures.state = PairState::Done;
            pair.figures.statusText = "Done";
            data.logs.Of(data.table.AppendPair(pair)).Append("kept line");
        }
        data.chart.AppendSeries({});
        for (int series = 1; series <= 2; ++series) {
            data.chart.AppendSeries({{1.0f}, {2.0f}, {3.0f}});
        }
        EXPECT_EQ(data.EditPair(data.table.IdAt(1), c.endpoint1, c.endpoint2, c.parallel),
                  c.cleared);
        const PairRecord& edited = data.table[1];
        EXPECT_EQ(edited.config.endpoint1, c.endpoint1);
        EXPECT_EQ(edited.figures.count, c.cleared ? 0 : 3) << c.endpoint1 << " " << c.parallel;
        EXPECT_EQ(edited.figures.maxText, c.cleared ? "0.00" : "9.50");
        EXPECT_EQ(edited.figures.statusText, c.cleared ? "Ready" : "Done");
        EXPECT_EQ(data.chart.Series()[1].size(), c.cleared ? 0u : 3u);
        EXPECT_EQ(data.logs.Of(edited.id).Size(), 1u) << "the log is not a figure";
        // The other pair keeps what it measured.
        EXPECT_EQ(data.table[2].figures.count, 3);
        EXPECT_EQ(data.chart.Series()[2].size(), 3u);
    }
}

// The session's log line and the note read back from it: only that exact shape, with an
// address that fits one, counts.
TEST(UnauthenticatedNoteTest, OnlyTheSessionsOwnLineNamesAnAddress) {
    EXPECT_EQ(UnauthenticatedAddress(UnauthenticatedLine("198.18.0.20")), "198.18.0.20");
    EXPECT_EQ(UnauthenticatedLine("198.18.0.20"),
              "Quarn: unauthenticated: 198.18.0.20 has no lab key");
    for (const char* other :
         {"Quarn: unauthenticated:  has no lab key", "Quarn: unauthenticated: 198.18.0.20",
          "[  1] 0.0000-1.0000 sec  100 MBytes  839 Mbits/sec",
          "Quarn: unauthenticated: 198.18.0.20.198.18.0.21 has no lab key",
          "quarn: unauthenticated: 198.18.0.20 has no lab key", ""}) {
        EXPECT_EQ(UnauthenticatedAddress(other), std::nullopt) << other;
    }
}

TEST(UnauthenticatedNoteTest, EachEndPointIsNotedOnceAndTheTooltipNamesIt) {
    PairRecord pair;
    pair.figures.state = PairState::Done;
    EXPECT_TRUE(UnauthenticatedNoteLines(pair).empty());
    // A stream that repeats the line (or makes more up) adds no more than a pair's two.
    for (const char* address : {"198.18.0.20", "198.18.0.20", "198.18.0.21", "198.18.0.22"})
        NoteUnauthenticated(pair.run, address);
    EXPECT_EQ(pair.run.unauthenticated, (std::vector<std::string>{"198.18.0.20", "198.18.0.21"}));
    const std::vector<std::string> lines = PairNoteLines(pair, false);
    EXPECT_EQ(lines,
              (std::vector<std::string>{"Ran unauthenticated: 198.18.0.20 has no lab key.",
                                        "Ran unauthenticated: 198.18.0.21 has no lab key."}));
    PairTable::ResetForRun(pair);
    EXPECT_TRUE(PairNoteLines(pair, false).empty());
}

}  // namespace
}  // namespace quarn::console
