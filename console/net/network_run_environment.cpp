#include "console/net/network_run_environment.h"

#include "console/net/own_machine.h"
#include "console/net/restart_broadcast.h"

namespace quarn::console {

NetworkRunEnvironment::NetworkRunEnvironment(std::string iperfPath, DiscoveryOptions discovery)
    : iperfPath_(std::move(iperfPath)), discovery_(std::move(discovery)) {}

void NetworkRunEnvironment::EndLeftoverClients() {
    console::EndLeftoverClients(iperfPath_);
}

void NetworkRunEnvironment::BroadcastRestart() {
    console::BroadcastRestart(discovery_);
}

std::optional<std::uint32_t> NetworkRunEnvironment::OwnAddress() {
    return console::OwnAddress();
}

}  // namespace quarn::console
