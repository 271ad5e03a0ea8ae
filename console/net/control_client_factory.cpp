#include "console/net/control_client_factory.h"

#include "console/net/local_session.h"
#include "console/net/remote_session.h"

namespace quarn::console {

namespace {

ControlClientSettings SettingsFor(std::string iperfPath, uint16_t controlPort) {
    ControlClientSettings settings;
    settings.iperfPath = std::move(iperfPath);
    settings.controlPort = controlPort;
    return settings;
}

}  // namespace

ControlClientFactory::ControlClientFactory(std::string iperfPath, uint16_t controlPort)
    : settings_(SettingsFor(std::move(iperfPath), controlPort)) {}

ControlClientFactory::ControlClientFactory(ControlClientSettings settings)
    : settings_(std::move(settings)) {}

std::unique_ptr<PairSession> ControlClientFactory::Create(const PairJob& job) {
    if (job.remote) {
        return std::make_unique<RemoteSession>(job, settings_);
    }
    return std::make_unique<LocalSession>(job, settings_);
}

}  // namespace quarn::console
