#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <stop_token>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "console/records/journal_file.h"
#include "console/records/record_sink.h"
#include "console/records/second_queue.h"

namespace quarn::console::records {

// The journal as the Console's main thread sees it: the records of each second are handed
// to a writer thread, which compresses, writes and syncs them into a JournalFile, so the
// main thread never waits for the disk. A second handed over is written at once (a killed
// Console loses at most the second in hand); the closing record is written before RunEnded
// returns. A disk slower than the run makes SecondEnded wait once kQueueSeconds seconds are
// waiting, rather than drop any (a journal with a gap would end at the gap).
class JournalWriter : public RecordSink {
  public:
    static constexpr std::size_t kQueueSeconds = 32;
    static constexpr int kSyncSeconds = JournalFile::kSyncSeconds;
    static constexpr const char* kExtension = JournalFile::kExtension;

    explicit JournalWriter(std::size_t queueSeconds = kQueueSeconds) : queue_(queueSeconds) {}
    // Writes what was handed over; the second in hand and the closing record are not.
    ~JournalWriter() override;
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // Creates `path` (it must not exist) and starts the writer; false when it cannot.
    bool Open(const std::string& path, int compressionLevel = 3);
    void Write(std::string_view line) override;
    using RecordSink::WriteSecond;
    // Kept as figures, its strings only when they changed: the writer thread encodes it.
    bool WriteSecond(const SecondView& second) override;
    void SecondEnded() override;
    // Hands over the closing records and waits until the writer has written and closed.
    void RunEnded() override;

    bool IsOpen() const { return open_; }
    // False once any write or sync failed.
    bool Good() const { return good_; }
    const std::string& Path() const { return path_; }
    long long Syncs() const { return syncs_; }
    // How often the main thread had to wait for the disk.
    long long FullWaits() const { return queue_.FullWaits(); }
    // Waits until every second handed over has been written; false at the time limit.
    bool WaitWritten(std::chrono::milliseconds limit) { return queue_.WaitDone(limit); }

  private:
    void WriteQueued(std::stop_token stop);
    void StopWriter();
    // Encodes the figures in hand here, so text written after them keeps its place.
    void EncodePending();
    // Hands the pair's strings over when they differ from what the writer knows.
    void NoteStrings(const SecondView& second);

    // Main thread: the strings the writer knows, in the order the pairs came last.
    std::vector<PairStrings> known_;

    JournalFile file_;  // the writer thread's alone while it runs
    SecondQueue queue_;
    SecondQueue::Item pending_{{}, false};
    std::string path_;
    bool open_ = false;
    std::atomic<bool> good_ = false;
    std::atomic<long long> syncs_ = 0;
    std::jthread writer_;
};

}  // namespace quarn::console::records
