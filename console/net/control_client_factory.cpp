#include "console/net/control_client_factory.h"

#include "console/net/local_measurement.h"
#include "console/net/remote_measurement.h"

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

std::unique_ptr<PairMeasurement> ControlClientFactory::Create(const PairJob& job) {
    if (job.remote) {
        return std::make_unique<RemoteMeasurement>(job, settings_);
    }
    return std::make_unique<LocalMeasurement>(job, settings_);
}

}  // namespace quarn::console
