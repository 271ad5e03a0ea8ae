#pragma once

#include <string>

#include "address/ip_address.h"
#include "console/core/pair_measurement.h"
#include "console/net/abortable_socket.h"
#include "console/net/control_client_settings.h"

namespace quarn::console {

// A pair whose End Point 1 is another machine: sends End Point 1 the client command and
// reads the stream of End Point 2's server output that End Point 1 forwards.
class RemoteMeasurement : public PairMeasurement {
  public:
    RemoteMeasurement(PairJob job, ControlClientSettings settings);

    // Failed when End Point 1 cannot be reached or its stream stays silent for the stream
    // timeout; Ended when the stream ends, the command cannot be sent or a stop is requested.
    MeasurementEnd Run(PairLineSink& sink, std::stop_token stop) override;
    void Abort() override { connection_.Abort(); }
    std::optional<PairFailure> Failure() const override { return failure_; }

  private:
    void Fail(FailureKind kind, std::string detail = {}, int seconds = 0);
    platform::Socket ConnectControl(const IpAddress& address);
    bool SendCommand(PairLineSink& sink, const std::string& line);
    MeasurementEnd ReadStream(PairLineSink& sink, const std::stop_token& stop);

    PairJob job_;
    ControlClientSettings settings_;
    AbortableSocket connection_;
    std::optional<PairFailure> failure_;
};

}  // namespace quarn::console
