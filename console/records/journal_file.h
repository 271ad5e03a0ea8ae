#pragma once

#include <chrono>
#include <string>

#include "console/records/record_sink.h"

struct ZSTD_CCtx_s;

namespace quarn::console::records {

// A run's journal file: zstd frames holding JSON Lines. Each second is compressed and
// written as it ends (nothing waits in this process for a later write); every kSyncSeconds
// seconds the frame is closed and the file synced (a power cut loses at most that much).
// The file is locked while it is written, so that a reader can tell a running run from one
// whose process died. It does its disk work on the calling thread: JournalWriter moves it
// off the Console's main thread.
class JournalFile : public RecordSink {
  public:
    static constexpr int kSyncSeconds = 10;
    static constexpr std::chrono::seconds kSyncInterval{10};
    static constexpr const char* kExtension = ".jsonl.zst";

    JournalFile() = default;
    ~JournalFile() override;
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    // Creates `path` (it must not exist); false when it cannot.
    bool Open(const std::string& path, int compressionLevel = 3);
    void Write(std::string_view line) override;
    // Several records at once, each with its line end.
    void WriteLines(std::string_view lines);
    void SecondEnded() override;
    // Closes the last frame, syncs and closes the file.
    void RunEnded() override;

    bool IsOpen() const { return fd_ >= 0; }
    // False once any write or sync failed.
    bool Good() const { return good_; }
    const std::string& Path() const { return path_; }
    long long Syncs() const { return syncs_; }

  private:
    void Compress(bool endFrame);
    void WriteAll(const char* data, std::size_t size);
    void Sync();
    void CloseFile();

    std::string path_;
    int fd_ = -1;
    ZSTD_CCtx_s* context_ = nullptr;
    std::string pending_;
    std::string output_;
    int secondsSinceSync_ = 0;
    std::chrono::steady_clock::time_point lastSync_;
    long long syncs_ = 0;
    bool good_ = false;
    bool directorySynced_ = false;
};

}  // namespace quarn::console::records
