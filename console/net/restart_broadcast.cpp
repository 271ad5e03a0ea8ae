#include "console/net/restart_broadcast.h"

#include "console/net/broadcast_targets.h"
#include "platform/socket.h"
#include "protocol/messages.h"

namespace quarn::console {

void BroadcastRestart(const DiscoveryOptions& options) {
    for (uint32_t target : BroadcastTargets(options)) {
        platform::Socket socket = platform::UdpSocket(true);
        if (!socket.Valid()) {
            continue;
        }
        auto send = [&] {
            return platform::SendTo(socket, protocol::kRestart, target, options.port);
        };
        if (!send()) {
            send();
        }
        send();
        send();
    }
}

}  // namespace quarn::console
