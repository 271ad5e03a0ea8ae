#pragma once

#include <chrono>
#include <string>

#include "console/records/record_sink.h"

struct ZSTD_CCtx_s;

namespace quarn::console::records {

// Appends a run's records to its journal: a file of zstd frames holding JSON Lines. Each
// processed second is compressed and written at once (a killed process loses at most the
// second in hand); every kSyncSeconds seconds the frame is closed and the file synced (a
// power cut loses at most that much). The file is locked while it is written, so that a
// reader can tell a running run from one whose process died.
class JournalWriter : public RecordSink {
  public:
    static constexpr int kSyncSeconds = 10;
    static constexpr std::chrono::seconds kSyncInterval{10};
    static constexpr const char* kExtension = ".jsonl.zst";

    JournalWriter() = default;
    ~JournalWriter() override;
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // Creates `path` (it must not exist); false when it cannot.
    bool Open(const std::string& path, int compressionLevel = 3);
    void Write(std::string_view line) override;
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
};

}  // namespace quarn::console::records
