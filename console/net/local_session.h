#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "console/core/pair_session.h"
#include "console/net/abortable_socket.h"
#include "console/net/control_client_settings.h"
#include "platform/child_process.h"

namespace quarn::console {

// A pair whose End Point 1 is this Console's machine: asks End Point 2 for an iperf
// server, runs the iperf client here, and reads End Point 2's server output on a receive
// thread of its own.
class LocalSession : public PairSession {
  public:
    LocalSession(PairJob job, ControlClientSettings settings);

    // -1 when End Point 2 gives no server or the receive thread cannot start; else 0.
    // Returns only after the receive thread has ended, so the sink is free again.
    int Run(PairLineSink& sink, const std::atomic<bool>& stopRequested) override;
    void Abort() override { connection_.Abort(); }

  private:
    void ReceiveStream(PairLineSink& sink);
    void RunClient(int dataPort, const std::atomic<bool>& stopRequested);
    void PollClient(platform::ChildProcess& iperf, const std::atomic<bool>& stopRequested);
    void AwaitStreamEnd(const std::atomic<bool>& stopRequested);
    bool StopWanted(const std::atomic<bool>& stopRequested) const;

    PairJob job_;
    ControlClientSettings settings_;
    AbortableSocket connection_;

    std::mutex streamMutex_;
    std::condition_variable streamEndedSignal_;
    bool streamEnded_ = false;  // guarded by streamMutex_
};

}  // namespace quarn::console
