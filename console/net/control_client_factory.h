#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "console/core/pair_measurement.h"
#include "console/net/control_client_settings.h"

namespace quarn::console {

// Makes the session of a pair: remote when End Point 1 is another machine, local when
// this Console runs the iperf client itself.
class ControlClientFactory : public PairMeasurementFactory {
  public:
    explicit ControlClientFactory(std::string iperfPath,
                                  uint16_t controlPort = protocol::kControlPort);
    explicit ControlClientFactory(ControlClientSettings settings);

    std::unique_ptr<PairMeasurement> Create(const PairJob& job) override;
    // The key of the sessions created from now on (none: unauthenticated).
    void SetLabKey(std::optional<labkey::LabKey> key) { settings_.labKey = std::move(key); }

  private:
    ControlClientSettings settings_;
};

}  // namespace quarn::console
