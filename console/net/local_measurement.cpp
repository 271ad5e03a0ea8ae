#include "console/net/local_measurement.h"

#include <array>
#include <chrono>
#include <system_error>
#include <thread>
#include <utility>

#include "console/net/line_splitter.h"
#include "console/net/measurement_failure.h"
#include "console/net/own_machine.h"
#include "console/net/pair_command.h"
#include "labkey/control_handshake.h"
#include "platform/iperf_marker.h"
#include "platform/text_encoding.h"
#include "protocol/client_command.h"
#include "protocol/server_request.h"

namespace quarn::console {

namespace {

constexpr size_t kServerOutputChunk = 511;
constexpr size_t kClientOutputChunk = 1499;
// A silent client is ended after idlePollLimit of these.
constexpr std::chrono::milliseconds kPollInterval{100};

// Joins the receive thread on every way out of Run; shutting the connection down first
// guarantees the join cannot wait for the network.
class ReceiverJoin {
  public:
    ReceiverJoin(AbortableSocket& connection, std::jthread& receiver)
        : connection_(connection), receiver_(receiver) {}
    ~ReceiverJoin() {
        connection_.Wake();
        if (receiver_.joinable()) {
            receiver_.join();
        }
        connection_.Close();
    }
    ReceiverJoin(const ReceiverJoin&) = delete;
    ReceiverJoin& operator=(const ReceiverJoin&) = delete;

  private:
    AbortableSocket& connection_;
    std::jthread& receiver_;
};

}  // namespace

LocalMeasurement::LocalMeasurement(PairJob job, ControlClientSettings settings)
    : job_(std::move(job)), settings_(std::move(settings)) {
    if (!job_.iperfPath.empty()) {
        settings_.iperfPath = job_.iperfPath;
    }
}

void LocalMeasurement::Abort() {
    connection_.Abort();
    aborted_.Set();
    {
        // Under the lock: a waiter between its check and its sleep still sees the change.
        std::lock_guard<std::mutex> lock(streamMutex_);
    }
    streamEndedSignal_.notify_all();
}

bool LocalMeasurement::StopWanted(const std::stop_token& stop) const {
    return stop.stop_requested() || connection_.Aborted();
}

MeasurementEnd LocalMeasurement::Run(PairLineSink& sink, std::stop_token stop) {
    // The stop ends a blocked connect, the client and the wait for the stream at once.
    const std::stop_callback abortOnStop(stop, [this] { Abort(); });
    // The "-c" of the command names End Point 2, whom the server request goes to.
    protocol::ServerRequestFailure why;
    labkey::Handshake handshake = labkey::Handshake::Failed;
    const protocol::RequestSender sender =
        settings_.labKey
            ? labkey::KeyedSender(*settings_.labKey,
                                  std::chrono::milliseconds(settings_.serverReplyTimeoutMs),
                                  &handshake)
            : protocol::RequestSender();
    std::optional<protocol::ServerRequestResult> server = protocol::ServerRequest(
        protocol::BuildClientCommand(ClientCommandFor(job_)), settings_.controlPort,
        std::chrono::milliseconds(settings_.connectTimeoutMs),
        std::chrono::milliseconds(settings_.serverReplyTimeoutMs), connection_.AbortToken(), &why,
        sender);
    if (!server) {
        if (!connection_.Aborted()) {
            setupFailure_ = ServerRequestFailed(why, job_.endpoint2, settings_);
            if (setupFailure_ && handshake == labkey::Handshake::KeyMismatch) {
                setupFailure_->detail = kOtherLabKey;
            }
        }
        return MeasurementEnd::Failed;
    }
    if (settings_.labKey && handshake != labkey::Handshake::Authenticated) {
        sink.LineReady(job_.index, UnauthenticatedLine(job_.endpoint2));
    }
    if (!connection_.Attach(std::move(server->socket))) {
        return MeasurementEnd::Ended;  // the run was completed meanwhile
    }
    std::jthread receiver;
    try {
        receiver = std::jthread([this, &sink] { ReceiveStream(sink); });
    } catch (const std::system_error& error) {
        connection_.Close();
        setupFailure_ = ConsoleFailure(FailureKind::NotStarted, error.what());
        return MeasurementEnd::Failed;
    }
    ReceiverJoin joinOnExit(connection_, receiver);
    RunClient(server->port, stop);
    AwaitStreamEnd(stop);
    return MeasurementEnd::Ended;
}

void LocalMeasurement::ReceiveStream(PairLineSink& sink) {
    LineSplitter lines;
    auto deliver = [&](std::string_view line) {
        sink.LineReady(job_.index, platform::AnsiToUtf8(line));
    };
    std::array<char, kServerOutputChunk> buffer{};
    bool sawOutput = false;
    for (;;) {
        platform::RecvResult received =
            platform::Receive(connection_.Get(), buffer.data(), buffer.size());
        if (received.status != platform::RecvStatus::Data) {
            break;
        }
        if (!sawOutput) {
            sawOutput = true;
            std::lock_guard<std::mutex> lock(streamMutex_);
            streamOutput_ = true;
        }
        lines.Feed(std::string_view(buffer.data(), received.bytes), deliver);
    }
    sink.StreamEnded(job_.index);
    {
        std::lock_guard<std::mutex> lock(streamMutex_);
        streamEnded_ = true;
    }
    streamEndedSignal_.notify_all();
}

void LocalMeasurement::RunClient(int dataPort, const std::stop_token& stop) {
    platform::ChildProcess iperf;
    if (!iperf.Start(LocalClientArgv(job_, settings_.iperfPath, dataPort),
                     {platform::OwnerMarkerEnv(kIperfOwnerRole)})) {
        setupFailure_ = ConsoleFailure(FailureKind::NotStarted,
                                       "iperf could not be started: " + settings_.iperfPath);
        return;  // End Point 2's stream is still read until it ends
    }
    PollClient(iperf, stop);
}

// The client's figures are not used (End Point 2 reports what arrived) but its output is
// drained so the client never blocks on a full pipe, and its error lines are kept.
void LocalMeasurement::PollClient(platform::ChildProcess& iperf, const std::stop_token& stop) {
    std::array<char, kClientOutputChunk> discard{};
    const auto silence = kPollInterval * settings_.idlePollLimit;
    auto silenceEnds = std::chrono::steady_clock::now() + silence;
    const auto readAll = [&] {
        long read;
        while ((read = iperf.ReadAvailable(discard.data(), discard.size())) > 0) {
            NoteClientOutput(std::string_view(discard.data(), static_cast<size_t>(read)));
            silenceEnds = std::chrono::steady_clock::now() + silence;
        }
    };
    for (;;) {
        if (StopWanted(stop)) {
            iperf.Terminate();
            return;
        }
        readAll();
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            silenceEnds - std::chrono::steady_clock::now());
        switch (iperf.WaitForEvent(left, aborted_)) {
            case platform::ChildEvent::Exited:
                readAll();
                return;
            case platform::ChildEvent::TimedOut:
                if (std::chrono::steady_clock::now() >= silenceEnds) {
                    iperf.Terminate();
                    return;
                }
                break;
            default:
                break;  // output, or the abort the loop's top sees
        }
    }
}

void LocalMeasurement::NoteClientOutput(std::string_view chunk) {
    clientLines_.Feed(chunk, [this](std::string_view line) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.remove_suffix(1);
        }
        if (IsIperfErrorLine(line)) {
            clientError_ = platform::AnsiToUtf8(line.substr(0, 512));
        }
    });
}

PairFailure LocalMeasurement::ConsoleFailure(FailureKind kind, std::string detail) const {
    PairFailure failure;
    failure.kind = kind;
    failure.side = FailureSide::Console;
    failure.detail = std::move(detail);
    return failure;
}

std::optional<PairFailure> LocalMeasurement::Failure() const {
    if (setupFailure_) {
        return setupFailure_;
    }
    if (!clientError_.empty()) {
        return ConsoleFailure(FailureKind::IperfError, clientError_);
    }
    if (connection_.Aborted()) {
        return std::nullopt;
    }
    PairFailure failure;
    failure.side = FailureSide::EndPoint2;
    failure.address = job_.endpoint2;
    failure.port = settings_.controlPort;
    std::lock_guard<std::mutex> lock(streamMutex_);
    failure.kind = streamOutput_ ? FailureKind::EndedEarly : FailureKind::ClosedBeforeOutput;
    return failure;
}

// Run must not return while the receive thread can still call the sink. After the client
// has ended, End Point 2 sends its last report at once but keeps the connection until
// "restart" or its own idle limit, so waiting for the close would only delay the end of
// the pair: wait at most streamDrainMs (not at all once a stop is requested or the
// session aborted); the caller then shuts the connection down, which ends the thread.
void LocalMeasurement::AwaitStreamEnd(const std::stop_token& stop) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(settings_.streamDrainMs);
    std::unique_lock<std::mutex> lock(streamMutex_);
    streamEndedSignal_.wait_until(lock, stop, deadline,
                                  [&] { return streamEnded_ || connection_.Aborted(); });
}

}  // namespace quarn::console
