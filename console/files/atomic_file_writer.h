#pragma once

#include <string>
#include <string_view>

namespace quarn::console {

// Replaces a file as a whole: the bytes go to a temporary file beside the target, which
// is flushed to disk and renamed over the target only when everything was written. A
// failure at any step leaves the old file as it was, and the temporary file is removed.
// Opening one also removes what saves of processes that no longer exist left in the folder.
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
    // The system's error number of the first failed step, 0 while none failed.
    int Error() const { return error_; }

  private:
    bool CreateTemporary(const std::string& directory, const std::string& baseName);
    void CopyModeOfTarget();
    void Discard();
    void Fail(int error);

    std::string targetPath_;
    std::string tempPath_;
    int fd_ = -1;
    bool failed_ = false;
    int error_ = 0;
};

// Removes the temporary files (".NAME.tmp-PID-N") of writers whose process has ended, when
// they are this user's plain files.
void RemoveLeftoverTemporaries(const std::string& directory);

}  // namespace quarn::console
