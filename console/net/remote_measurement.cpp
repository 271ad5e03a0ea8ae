#include "console/net/remote_measurement.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <utility>

#include "address/ip_address.h"
#include "console/net/line_splitter.h"
#include "console/net/measurement_failure.h"
#include "console/net/pair_command.h"
#include "labkey/control_handshake.h"
#include "platform/socket6.h"
#include "platform/text_encoding.h"
#include "protocol/auth_messages.h"
#include "protocol/client_command.h"

namespace quarn::console {

namespace {
constexpr size_t kStreamChunk = 1499;

std::string_view WithoutCr(std::string_view line) {
    return line.ends_with('\r') ? line.substr(0, line.size() - 1) : line;
}

bool IsLabKeyRefusal(std::string_view line) {
    const std::string_view text = WithoutCr(line);
    return text == protocol::kLabKeyRequired || text == protocol::kLabKeyMismatch;
}
}  // namespace

RemoteMeasurement::RemoteMeasurement(PairJob job, ControlClientSettings settings)
    : job_(std::move(job)), settings_(std::move(settings)) {}

MeasurementEnd RemoteMeasurement::Run(PairLineSink& sink, std::stop_token stop) {
    // The stop ends a blocked connect or receive at once.
    const std::stop_callback abortOnStop(stop, [this] { Abort(); });
    const std::optional<IpAddress> endPoint1 = ParseIpAddress(job_.endpoint1);
    if (!endPoint1) {
        Fail(FailureKind::Unreachable, "not an IP address");
        return MeasurementEnd::Failed;
    }
    platform::Socket socket = ConnectControl(*endPoint1);
    if (connection_.Aborted()) {
        return MeasurementEnd::Ended;  // the run was completed while connecting
    }
    if (!socket.Valid()) {
        failure_ = ConnectFailure(FailureSide::EndPoint1, job_.endpoint1, errno, settings_);
        return MeasurementEnd::Failed;
    }
    if (!platform::SetRecvTimeout(socket, settings_.streamTimeoutMs)) {
        Fail(FailureKind::Unreachable, SystemErrorText(errno));
        return MeasurementEnd::Failed;
    }
    if (!connection_.Attach(std::move(socket))) {
        return MeasurementEnd::Ended;
    }
    // A command sent after the run's "restart" would start iperf that nothing ends.
    if (stop.stop_requested()) {
        connection_.Close();
        return MeasurementEnd::Ended;
    }
    const std::string line = protocol::BuildClientCommand(ClientCommandFor(job_));
    MeasurementEnd result = MeasurementEnd::Ended;
    if (SendCommand(sink, line)) {
        result = ReadStream(sink, stop);
    }
    connection_.Close();
    return result;
}

// Over the address's own family; a mapped IPv4 address over IPv4, as older peers expect.
platform::Socket RemoteMeasurement::ConnectControl(const IpAddress& address) {
    const auto timeout = std::chrono::milliseconds(settings_.connectTimeoutMs);
    const IpAddress plain = address.Unmapped();
    if (plain.IsV4()) {
        return platform::TcpConnect(plain.V4Value(), settings_.controlPort, timeout,
                                    connection_.AbortToken());
    }
    return platform::TcpConnect6(plain, settings_.controlPort, timeout, connection_.AbortToken());
}

// Plainly without a key; with one, the authenticated way, saying in the log when End
// Point 1 has no key.
bool RemoteMeasurement::SendCommand(PairLineSink& sink, const std::string& line) {
    if (!settings_.labKey) {
        if (platform::SendAll(connection_.Get(), protocol::WithCrLf(line))) {
            return true;
        }
        Fail(FailureKind::ClosedBeforeOutput, SystemErrorText(errno));
        return false;
    }
    const labkey::Handshake done =
        labkey::SendWithKey(connection_.Get(), *settings_.labKey, line,
                            std::chrono::milliseconds(settings_.serverReplyTimeoutMs));
    switch (done) {
        case labkey::Handshake::Authenticated:
            return true;
        case labkey::Handshake::PeerUnkeyed:
            sink.LineReady(job_.index, UnauthenticatedLine(job_.endpoint1));
            return true;
        case labkey::Handshake::KeyMismatch:
            Fail(FailureKind::ClosedBeforeOutput, kOtherLabKey);
            return false;
        case labkey::Handshake::PeerOlder:
            Fail(FailureKind::ClosedBeforeOutput, "it is an older EndPoint without lab keys");
            return false;
        case labkey::Handshake::Failed:
            break;
    }
    Fail(FailureKind::ClosedBeforeOutput, SystemErrorText(errno));
    return false;
}

void RemoteMeasurement::Fail(FailureKind kind, std::string detail, int seconds) {
    PairFailure failure;
    failure.kind = kind;
    failure.side = FailureSide::EndPoint1;
    failure.address = job_.endpoint1;
    failure.port = settings_.controlPort;
    failure.detail = std::move(detail);
    failure.seconds = seconds;
    failure_ = std::move(failure);
}

// Notes why the stream ended; the run decides whether that end was early.
MeasurementEnd RemoteMeasurement::ReadStream(PairLineSink& sink, const std::stop_token& stop) {
    LineSplitter lines;
    bool anyOutput = false;
    // A keyed End Point 1's refusal is its only line: the cause, not an early end.
    int delivered = 0;
    std::string refusal;
    auto deliver = [&](std::string_view line) {
        if (delivered++ == 0 && IsLabKeyRefusal(line))
            refusal = std::string(WithoutCr(line));
        sink.LineReady(job_.index, platform::AnsiToUtf8(line));
    };
    std::array<char, kStreamChunk> buffer{};
    while (!stop.stop_requested()) {
        platform::RecvResult received =
            platform::Receive(connection_.Get(), buffer.data(), buffer.size());
        if (received.status == platform::RecvStatus::TimedOut) {
            Fail(FailureKind::Silent, {}, (settings_.streamTimeoutMs + 999) / 1000);
            return MeasurementEnd::Failed;
        }
        if (received.status != platform::RecvStatus::Data) {
            if (connection_.Aborted()) {
                break;
            }
            const std::string why =
                received.status == platform::RecvStatus::Error ? SystemErrorText(errno) : "";
            if (delivered == 1 && !refusal.empty())
                Fail(FailureKind::ClosedBeforeOutput, "Reply: " + refusal);
            else
                Fail(anyOutput ? FailureKind::EndedEarly : FailureKind::ClosedBeforeOutput, why);
            break;
        }
        anyOutput = true;
        lines.Feed(std::string_view(buffer.data(), received.bytes), deliver);
    }
    return MeasurementEnd::Ended;
}

}  // namespace quarn::console
