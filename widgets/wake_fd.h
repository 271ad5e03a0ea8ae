#pragma once

#include <cstdint>

namespace quarn::widgets {

// An eventfd that one thread signals and another watches: signals add up in the kernel's
// counter, so any number of them before a Drain make the descriptor readable once. Writes
// and reads go through the C library, where ThreadSanitizer sees the hand-over.
class WakeFd {
  public:
    // Throws std::system_error when the system has no descriptor to give.
    WakeFd();
    ~WakeFd();
    WakeFd(const WakeFd&) = delete;
    WakeFd& operator=(const WakeFd&) = delete;

    int Handle() const { return fd_; }
    // Makes the descriptor readable; never blocks. Callable from any thread.
    void Signal();
    // Returns how many signals arrived since the last Drain (0 if none) and resets the count.
    std::uint64_t Drain();

  private:
    int fd_;
};

}  // namespace quarn::widgets
