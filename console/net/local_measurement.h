#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "console/core/pair_measurement.h"
#include "console/net/abortable_socket.h"
#include "console/net/control_client_settings.h"
#include "console/net/line_splitter.h"
#include "platform/child_process.h"
#include "platform/wake_event.h"

namespace quarn::console {

// A pair whose End Point 1 is this Console's machine: asks End Point 2 for an iperf
// server, runs the iperf client here, and reads End Point 2's server output on a receive
// thread of its own.
class LocalMeasurement : public PairMeasurement {
  public:
    LocalMeasurement(PairJob job, ControlClientSettings settings);

    // Failed when End Point 2 gives no server or the receive thread cannot start.
    // Returns only after the receive thread has ended, so the sink is free again.
    MeasurementEnd Run(PairLineSink& sink, std::stop_token stop) override;
    void Abort() override;
    std::optional<PairFailure> Failure() const override;

  private:
    void ReceiveStream(PairLineSink& sink);
    void RunClient(int dataPort, const std::stop_token& stop);
    void PollClient(platform::ChildProcess& iperf, const std::stop_token& stop);
    void AwaitStreamEnd(const std::stop_token& stop);
    bool StopWanted(const std::stop_token& stop) const;
    void NoteClientOutput(std::string_view chunk);
    PairFailure ConsoleFailure(FailureKind kind, std::string detail) const;

    PairJob job_;
    ControlClientSettings settings_;
    AbortableSocket connection_;
    platform::WakeEvent aborted_;  // set by Abort: wakes the wait on the local client

    mutable std::mutex streamMutex_;
    std::condition_variable_any streamEndedSignal_;
    bool streamEnded_ = false;   // guarded by streamMutex_
    bool streamOutput_ = false;  // guarded by streamMutex_: End Point 2 sent something

    // Read by Failure only after Run, which joins the receive thread.
    std::optional<PairFailure> setupFailure_;
    LineSplitter clientLines_;
    std::string clientError_;  // the local iperf client's last error line
};

}  // namespace quarn::console
