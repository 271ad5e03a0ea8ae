#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace quarn::console::testing {

// A stand-in for the iperf client in a temporary folder: records its arguments, its owner
// marker and its pid, prints a line, then sleeps `sleepSeconds` (0: exits at once).
class FakeIperf {
  public:
    explicit FakeIperf(int sleepSeconds);
    ~FakeIperf();
    FakeIperf(const FakeIperf&) = delete;
    FakeIperf& operator=(const FakeIperf&) = delete;

    const std::string& Path() const { return path_; }
    bool Started() const;
    // Waits up to timeoutMs for the script to have recorded its start.
    bool AwaitStart(int timeoutMs) const;
    std::vector<std::string> Arguments() const;
    std::string OwnerMarker() const;
    std::optional<pid_t> Pid() const;

  private:
    std::string dir_;
    std::string path_;
};

}  // namespace quarn::console::testing
