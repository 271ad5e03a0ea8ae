#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <string_view>

#include "labkey/lab_key.h"
#include "platform/socket.h"
#include "protocol/server_request.h"

namespace quarn::labkey {

enum class Handshake {
    Authenticated,  // the EndPoint proved our key and got the tagged request
    PeerUnkeyed,    // it has no key and got the plain request on the same connection
    PeerOlder,      // it closed on our opening: an older EndPoint; reconnect and send plain
    KeyMismatch,    // its proof is not our key's: nothing was sent
    Failed,         // no answer in time, a malformed one, or the send failed
};

// Opens the authenticated exchange on a connected control connection and sends
// requestLine (without CR LF) the way the EndPoint's answer calls for. What the EndPoint
// replies after that (its "ok", or a refusal) is the caller's to read.
Handshake SendWithKey(const platform::Socket& connection, const LabKey& key,
                      std::string_view requestLine, std::chrono::milliseconds replyLimit);

// A server request's sender that uses SendWithKey: an EndPoint without a key, or an older
// one (asked again plainly), still serves; outcome (when given) says which happened.
protocol::RequestSender KeyedSender(const LabKey& key, std::chrono::milliseconds replyLimit,
                                    Handshake* outcome = nullptr);

}  // namespace quarn::labkey
