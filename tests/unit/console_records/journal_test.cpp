#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zstd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "console/records/journal_file.h"
#include "console/records/journal_reader.h"
#include "console/records/journal_writer.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/console_records/fed_run.h"

namespace quarn::console::records {
namespace {

long long FileSize(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Remembers the journal file's size each time a second has been written to it.
class SizeProbe : public RecordSink {
  public:
    SizeProbe(JournalFile& journal) : journal_(journal) {}
    void Write(std::string_view line) override { journal_.Write(line); }
    void SecondEnded() override {
        journal_.SecondEnded();
        sizes.push_back(FileSize(journal_.Path()));
    }
    void RunEnded() override { journal_.RunEnded(); }
    std::vector<long long> sizes;  // [0]: the head, [k]: after second k

  private:
    JournalFile& journal_;
};

class JournalTest : public ::testing::Test {
  protected:
    test_support::TempDir dir;
    std::string path = dir.File("run.jsonl.zst");
};

TEST_F(JournalTest, AJournalCutAtAnyByteGivesEverySecondWrittenBeforeTheCut) {
    constexpr int kSeconds = 14;  // a closed frame, then one left open before the end
    test::FedRun run(2);
    JournalFile journal;
    ASSERT_TRUE(journal.Open(path));
    SizeProbe probe(journal);
    run.recorder.AddSink(probe);
    run.Begin(kSeconds);
    run.Feed(kSeconds);
    run.End(true);
    ASSERT_TRUE(journal.Good());
    const std::string whole = ReadBytes(path);
    ASSERT_EQ(probe.sizes.size(), kSeconds + 1u);

    const std::string cut = dir.File("cut.jsonl.zst");
    int lastSeconds = 0;
    for (std::size_t offset = 0; offset <= whole.size(); ++offset) {
        WriteBytes(cut, std::string_view(whole).substr(0, offset));
        const std::optional<JournalContent> content = ReadJournal(cut);
        const auto size = static_cast<long long>(offset);
        if (size < probe.sizes[0]) {
            EXPECT_FALSE(content.has_value()) << offset;
            continue;
        }
        ASSERT_TRUE(content.has_value()) << offset;
        int written = 0;
        while (written < kSeconds && probe.sizes[static_cast<std::size_t>(written + 1)] <= size)
            ++written;
        ASSERT_GE(content->seconds, written) << offset;
        ASSERT_GE(content->seconds, lastSeconds) << offset;
        lastSeconds = content->seconds;
        // The closing record may be read before its frame's checksum is complete.
        if (offset == whole.size()) {
            EXPECT_TRUE(content->Finished());
        }
        if (size <= probe.sizes.back()) {
            EXPECT_FALSE(content->Finished()) << offset;
        }
        for (int pair = 1; pair <= 2; ++pair) {
            const std::vector<float>& values = content->values.at(pair);
            ASSERT_EQ(values.size(), static_cast<std::size_t>(content->seconds));
            for (std::size_t s = 0; s < values.size(); ++s)
                ASSERT_EQ(values[s], run.values[s][static_cast<std::size_t>(pair - 1)]) << offset;
        }
    }
    EXPECT_EQ(lastSeconds, kSeconds);
}

// A one-second queue: fed at full speed, the main thread waits for the writer at almost
// every second, and still no second is lost and the closing record is the last.
TEST_F(JournalTest, FramesAreClosedAtEachSyncAndTheEnd) {
    test::FedRun run(2);
    JournalWriter journal(1);
    ASSERT_TRUE(journal.Open(path));
    run.recorder.AddSink(journal);
    run.Begin(35);
    run.Feed(35);
    run.End(true);
    // The head and 35 seconds are 36 handed-over seconds: 3 syncs, then the closing one.
    EXPECT_EQ(journal.Syncs(), 4);
    const std::string bytes = ReadBytes(path);
    int frames = 0;
    for (std::size_t pos = 0; pos < bytes.size(); ++frames) {
        const std::size_t size =
            ZSTD_findFrameCompressedSize(bytes.data() + pos, bytes.size() - pos);
        ASSERT_FALSE(ZSTD_isError(size));
        pos += size;
    }
    EXPECT_EQ(frames, 4);
    const auto content = ReadJournal(path);
    ASSERT_TRUE(content && content->Finished());
    EXPECT_EQ(content->seconds, 35);
    EXPECT_EQ(content->summary->outcome, "completed");
    EXPECT_EQ(content->pairSummaries.size(), 2u);
    EXPECT_GT(journal.FullWaits(), 0);
}

TEST_F(JournalTest, ASecondHandedOverIsWrittenWithoutWaitingForTheNext) {
    test::FedRun run(3);
    JournalWriter journal;
    ASSERT_TRUE(journal.Open(path));
    run.recorder.AddSink(journal);
    run.Begin(600);
    for (int second = 1; second <= 3; ++second) {
        run.Feed(1);
        ASSERT_TRUE(journal.WaitWritten(std::chrono::seconds(10)));
        const auto content = ReadJournal(path);
        ASSERT_TRUE(content.has_value());
        EXPECT_EQ(content->seconds, second);
        EXPECT_FALSE(content->Finished());
        EXPECT_EQ(content->values.at(3).back(), run.values.back()[2]);
    }
    run.Feed(2);
    run.End(true);
    EXPECT_FALSE(journal.IsOpen());
    const auto content = ReadJournal(path);
    ASSERT_TRUE(content && content->Finished());
    EXPECT_EQ(content->seconds, 5);
    // A writer dropped mid-run keeps what it was handed, and a new run starts cleanly.
    const std::string second = dir.File("second.jsonl.zst");
    {
        JournalWriter dropped;
        ASSERT_TRUE(dropped.Open(second));
        test::FedRun next(2);
        next.recorder.AddSink(dropped);
        next.Begin(600);
        next.Feed(4);
    }
    const auto unfinished = ReadJournal(second);
    ASSERT_TRUE(unfinished.has_value());
    EXPECT_FALSE(unfinished->Finished());
    EXPECT_EQ(unfinished->seconds, 4);
}

// Every record as text, the way a JSON Lines stream gets it.
class TextSink : public RecordSink {
  public:
    void Write(std::string_view line) override {
        text.append(line);
        text += '\n';
    }
    std::string text;
};

std::string Decompressed(const std::string& bytes) {
    ZSTD_DStream* stream = ZSTD_createDStream();
    ZSTD_initDStream(stream);
    std::string text;
    char out[4096];
    ZSTD_inBuffer in{bytes.data(), bytes.size(), 0};
    for (bool full = true; in.pos < in.size || full;) {
        ZSTD_outBuffer buffer{out, sizeof out, 0};
        if (ZSTD_isError(ZSTD_decompressStream(stream, &buffer, &in)))
            break;
        text.append(out, buffer.pos);
        full = buffer.pos == sizeof out;
    }
    ZSTD_freeDStream(stream);
    return text;
}

TEST_F(JournalTest, RecordsEncodedByTheWriterMatchTheTextOfAStreamInOrder) {
    test::FedRun run(3);
    TextSink stream;
    JournalWriter journal;
    ASSERT_TRUE(journal.Open(path));
    run.recorder.AddSink(stream);
    run.recorder.AddSink(journal);
    run.Begin(600);
    run.Feed(4);
    // A line written between the records of one second keeps its place.
    journal.WriteSecond(SecondRecord{});
    journal.Write("{\"between\":1}");
    stream.Write(EncodeSecond(SecondRecord{}));
    stream.Write("{\"between\":1}");
    run.Feed(2);
    run.End(true);
    ASSERT_FALSE(journal.IsOpen());
    // Head, 6 seconds of 3 pairs, the two extra lines, 3 summaries and the end.
    EXPECT_GT(std::count(stream.text.begin(), stream.text.end(), '\n'), 6 * 3 + 2);
    EXPECT_EQ(Decompressed(ReadBytes(path)), stream.text);
}

TEST_F(JournalTest, StringsThatChangeMidRunReachTheJournalFromTheSecondTheyChange) {
    test::FedRun run(3);
    TextSink stream;
    JournalWriter journal;
    ASSERT_TRUE(journal.Open(path));
    run.recorder.AddSink(stream);
    run.recorder.AddSink(journal);
    run.Begin(600);
    run.Feed(3);
    run.data.table[2].name = "renamed pair";
    run.data.table[3].config.endpoint1 = "198.18.7.7";
    run.Feed(2);
    run.data.table[2].name = "";
    run.Feed(1);
    run.End(true);
    const std::string text = Decompressed(ReadBytes(path));
    EXPECT_EQ(text, stream.text);
    const auto count = [&text](std::string_view what) {
        long long n = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    };
    // Two seconds and the summary's record under the new name; the endpoint from then on.
    EXPECT_EQ(count("\"renamed pair\""), 2);
    EXPECT_EQ(count("\"198.18.7.7\""), 3 + 1);
}

TEST_F(JournalTest, SecondsHandedStraightToTheWriterComeOutAsTheirOwnText) {
    TextSink stream;
    JournalWriter journal;
    ASSERT_TRUE(journal.Open(path));
    const auto write = [&](const SecondRecord& record) {
        journal.WriteSecond(record);
        stream.Write(EncodeSecond(record));
    };
    SecondRecord one{
        "2026-12-10T01:00:01.000Z", "r", 1, "a", "198.18.0.1", "198.18.0.2", 1, 10.5, {}, {}};
    SecondRecord two = one;
    two.pair = 2;
    two.name = "b";
    write(one);
    write(two);
    journal.SecondEnded();
    // The same pair twice in one second with a rename between, a pair without strings,
    // and figures of one hand-over stamped at different times.
    one.second = two.second = 2;
    write(one);
    one.name = "a2";
    one.mbitPerS = 3.25;
    write(one);
    write(SecondRecord{});
    two.time = "2026-12-10T01:00:02.500Z";
    write(two);
    journal.SecondEnded();
    one.second = 3;
    write(one);
    journal.RunEnded();
    EXPECT_EQ(Decompressed(ReadBytes(path)), stream.text);

    // A journal opened again starts from nothing the previous one knew.
    const std::string again = dir.File("again.jsonl.zst");
    ASSERT_TRUE(journal.Open(again));
    journal.WriteSecond(one);
    journal.RunEnded();
    EXPECT_EQ(Decompressed(ReadBytes(again)), EncodeSecond(one) + "\n");
}

TEST_F(JournalTest, AWriterKilledMidRunLeavesEverySecondItHadWritten) {
    int reports[2];
    ASSERT_EQ(::pipe(reports), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(reports[0]);
        test::FedRun run(4, 2);
        JournalWriter journal;
        if (!journal.Open(path))
            ::_exit(3);
        run.recorder.AddSink(journal);
        run.Begin(100000);
        for (int second = 1;; ++second) {
            run.Feed(1);
            // Reported once the writer thread has it in the file: nothing in this process
            // may hold it back from there.
            if (!journal.WaitWritten(std::chrono::seconds(10)))
                ::_exit(4);
            (void)!::write(reports[1], &second, sizeof second);
            ::usleep(2000);
        }
    }
    ::close(reports[1]);
    int reported = 0;
    for (int second = 0;
         reported < 57 && ::read(reports[0], &second, sizeof second) == sizeof second;)
        reported = second;
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(reports[0]);
    ASSERT_TRUE(WIFSIGNALED(status));
    const auto content = ReadJournal(path);
    ASSERT_TRUE(content.has_value());
    EXPECT_FALSE(content->Finished());
    EXPECT_GE(content->seconds, reported);
    EXPECT_EQ(content->head.pairs.size(), 4u);
    EXPECT_FALSE(content->lastTime.empty());
}

TEST_F(JournalTest, ADamagedJournalYieldsNoMoreThanWasWritten) {
    test::FedRun run(2);
    JournalWriter journal;
    ASSERT_TRUE(journal.Open(path));
    run.recorder.AddSink(journal);
    run.Begin(40);
    run.Feed(40);
    run.End(true);
    std::string bytes = ReadBytes(path);
    // Past the head, which sits at the start of the first frame.
    for (std::size_t at : {bytes.size() / 2, bytes.size() * 3 / 4, bytes.size() - 20}) {
        std::string damaged = bytes;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x5a);
        WriteBytes(path + ".bad", damaged);
        const auto content = ReadJournal(path + ".bad");
        ASSERT_TRUE(content.has_value()) << at;
        EXPECT_LE(content->seconds, 40) << at;
    }
    WriteBytes(path + ".bad", "not a journal at all");
    EXPECT_FALSE(ReadJournal(path + ".bad").has_value());
    EXPECT_FALSE(ReadJournal(dir.File("missing")).has_value());
}

TEST_F(JournalTest, NeverReplacesAnExistingJournal) {
    WriteBytes(path, "x");
    JournalWriter journal;
    EXPECT_FALSE(journal.Open(path));
    EXPECT_FALSE(journal.IsOpen());
    journal.Write("{}");
    journal.SecondEnded();
    journal.RunEnded();
    EXPECT_EQ(ReadBytes(path), "x");
}

}  // namespace
}  // namespace quarn::console::records
