#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "console/core/pair_failure.h"
#include "console/core/unauthenticated_note.h"
#include "console/net/control_client_settings.h"
#include "protocol/server_request.h"

namespace quarn::console {

// A failed connect to an End Point's control port, from the errno the connect left.
// Nothing for ECANCELED: the run was ended meanwhile, which is no failure of the pair.
std::optional<PairFailure> ConnectFailure(FailureSide side, const std::string& address, int error,
                                          const ControlClientSettings& settings);

// A failed server request to End Point 2 (local mode).
std::optional<PairFailure> ServerRequestFailed(const protocol::ServerRequestFailure& why,
                                               const std::string& address,
                                               const ControlClientSettings& settings);

// The cause of a pair whose EndPoint proved another lab key than ours.
inline constexpr const char* kOtherLabKey = "its lab key is not this Console's (nothing was sent)";

// The system's text for an errno, e.g. "Connection reset by peer".
std::string SystemErrorText(int error);

// Whether a line of iperf's own output says that something went wrong.
bool IsIperfErrorLine(std::string_view line);

}  // namespace quarn::console
