#pragma once

#include <cstdio>
#include <string>

#include "console/records/record_sink.h"

namespace quarn::console::records {

// Writes records as JSON Lines to a file or to standard output ("-"), flushed after each
// second so that a reader following the stream sees every second as it is processed.
class JsonlStream : public RecordSink {
  public:
    JsonlStream() = default;
    ~JsonlStream() override;
    JsonlStream(const JsonlStream&) = delete;
    JsonlStream& operator=(const JsonlStream&) = delete;

    // Creates (replaces) the file; false when it cannot be created.
    bool Open(const std::string& path, std::FILE* standardOutput = stdout);
    void Write(std::string_view line) override;
    void SecondEnded() override;
    void RunEnded() override;
    // False once opening or any write failed.
    bool Good() const { return good_; }
    void Close();

  private:
    std::FILE* file_ = nullptr;
    bool owned_ = false;
    bool good_ = false;
};

}  // namespace quarn::console::records
