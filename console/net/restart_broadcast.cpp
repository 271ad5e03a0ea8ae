#include "console/net/restart_broadcast.h"

#include <chrono>
#include <string>

#include "console/net/broadcast_targets.h"
#include "platform/socket.h"
#include "platform/socket6.h"
#include "protocol/auth_messages.h"
#include "protocol/messages.h"

namespace quarn::console {

namespace {

// One nonce for the three copies: a keyed EndPoint acts on the first and ignores the rest.
std::string RestartDatagram(const DiscoveryOptions& options) {
    if (!options.labKey) {
        return std::string(protocol::kRestart);
    }
    const long long now = std::chrono::duration_cast<std::chrono::seconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    const std::string nonce = labkey::ToHex(labkey::RandomBytes(labkey::kNonceBytes));
    const std::string tag =
        labkey::ToHex(options.labKey->Tag(protocol::RestartTagInput(now, nonce)));
    return protocol::FormatAuthRestart(now, nonce, tag);
}

}  // namespace

void BroadcastRestart(const DiscoveryOptions& options) {
    const std::string restart = RestartDatagram(options);
    for (uint32_t target : BroadcastTargets(options)) {
        platform::Socket socket = platform::UdpSocket(true);
        if (!socket.Valid()) {
            continue;
        }
        auto send = [&] { return platform::SendTo(socket, restart, target, options.port); };
        if (!send()) {
            send();
        }
        send();
        send();
    }
    for (const IpAddress& target : Multicast6Targets(options)) {
        platform::Socket socket = platform::UdpBind6(IpAddress::V6({}), 0);
        for (int copy = 0; copy < 3 && socket.Valid(); ++copy) {
            platform::SendTo6(socket, restart, target, options.port);
        }
    }
}

}  // namespace quarn::console
