#pragma once

#include <string>
#include <string_view>

namespace quarn::console {

// Replaces a file as a whole: the bytes go to a temporary file beside the target, which
// is flushed to disk and renamed over the target only when everything was written. A
// failure at any step leaves the old file as it was, and the temporary file is removed.
class AtomicFileWriter {
  public:
    explicit AtomicFileWriter(std::string targetPath);
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Creates the temporary file. False when it cannot be created.
    bool Open();
    // Writes all bytes. After a failure every later call fails too.
    bool Write(std::string_view bytes);
    // Flushes, closes and renames over the target. True when the target was replaced.
    bool Commit();

  private:
    bool CreateTemporary(const std::string& directory, const std::string& baseName);
    void CopyModeOfTarget();
    void Discard();

    std::string targetPath_;
    std::string tempPath_;
    int fd_ = -1;
    bool failed_ = false;
};

}  // namespace quarn::console
