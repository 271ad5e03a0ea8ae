#pragma once

#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "console/core/pair_failure.h"
#include "console/core/traffic_options.h"

namespace quarn::console {

// What a pair worker needs to measure one pair; copied from the pair's row at run start.
struct PairJob {
    int index = -1;      // row number
    bool remote = true;  // false: this Console runs the iperf client itself
    std::string endpoint1;
    std::string endpoint2;
    bool udp = false;
    std::string interval = "1";
    std::string time;      // iperf run time in seconds, as text
    std::string rateText;  // window (TCP) or bandwidth (UDP), e.g. "5.000000m"
    int parallel = 1;
    TrafficOptions traffic;
    std::string iperfPath;
};

// Receives a pair's output lines on the worker's (or receive thread's) side. Each call
// returns only after the main thread has handled the line.
class PairLineSink {
  public:
    virtual ~PairLineSink() = default;
    // One line without its LF (a trailing CR may still be there).
    virtual void LineReady(int index, std::string_view line) = 0;
    // Local mode: End Point 2's stream has ended, so a stop becomes possible.
    virtual void StreamEnded(int index) = 0;
};

// How a pair's session ended: Failed when it could not measure (no connection, no server,
// a stream that stayed silent); Ended for a normal end, a stop or an abort.
enum class MeasurementEnd { Ended, Failed };

// One pair's measurement procedure (remote or local mode), run on the pair's worker thread.
class PairMeasurement {
  public:
    virtual ~PairMeasurement() = default;
    // Runs until the stream ends, the stop is requested or set-up fails.
    virtual MeasurementEnd Run(PairLineSink& sink, std::stop_token stop) = 0;
    // After Run has returned, on the same thread: why the pair could not be measured,
    // when the session knows. Nothing for a normal end, a stop or an abort.
    virtual std::optional<PairFailure> Failure() const { return std::nullopt; }
    // From the main thread at completion: unblocks a receive on the control connection.
    // Thread-safe; the socket itself is closed by the thread that owns it.
    virtual void Abort() = 0;
};

class PairMeasurementFactory {
  public:
    virtual ~PairMeasurementFactory() = default;
    virtual std::unique_ptr<PairMeasurement> Create(const PairJob& job) = 0;
};

}  // namespace quarn::console
