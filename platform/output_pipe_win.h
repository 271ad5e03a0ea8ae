#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <memory>

#include "platform/windows_handle.h"

namespace quarn::platform {

// The read end of a child's output: a named pipe read overlapped, so that a wait can sleep
// on its event beside the process and a stop (an anonymous pipe cannot be waited on). One
// read is kept in flight whenever nothing is buffered. Used by one thread.
class OutputPipe {
  public:
    // Makes the pipe; childEnd gets the inheritable write end. Null on failure.
    static std::unique_ptr<OutputPipe> Create(WinHandle& childEnd);
    OutputPipe(WinHandle pipe, WinHandle event);
    // Cancels the read in flight and waits until the system no longer writes into it.
    ~OutputPipe();
    OutputPipe(const OutputPipe&) = delete;
    OutputPipe& operator=(const OutputPipe&) = delete;

    // Bytes copied (at most max), 0 when none are waiting, -1 once every writer has gone.
    long Read(char* buf, size_t max);
    // Bytes are waiting to be read.
    bool HasOutput();
    // Every writer has gone and everything was read.
    bool Ended() const { return ended_ && start_ == end_; }
    // A read is in flight; ReadyEvent() is set when it completes.
    bool Pending() const { return pending_; }
    HANDLE ReadyEvent() const { return event_.Get(); }

  private:
    void Collect();
    void Arm();

    WinHandle pipe_;
    WinHandle event_;
    OVERLAPPED overlapped_{};
    std::array<char, 4096> buffer_{};
    size_t start_ = 0;
    size_t end_ = 0;
    bool pending_ = false;
    bool ended_ = false;
};

}  // namespace quarn::platform
