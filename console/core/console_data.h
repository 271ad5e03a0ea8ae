#pragma once

#include <map>
#include <string>
#include <vector>

#include "console/core/chart_model.h"
#include "console/core/endpoint_entry.h"
#include "console/core/measurement_settings.h"
#include "console/core/pair_table.h"

namespace quarn::console {

// The Console's whole working state: what a configuration file saves and restores.
struct ConsoleData {
    PairTable table;
    MeasurementSettings settings;
    std::vector<EndPointEntry> endPoints;
    std::map<std::string, std::string> nameLookup;  // address -> name
    std::string measuredAt;                         // "%04d-%02d-%02d %02d:%02d:%02d" or empty
    int ticks = 0;                                  // processed ticks of the last run
    ChartModel chart;

    // The File menu's New: an empty table, no EndPoints, default duration, chart reset.
    void ResetToNew();
    // Name shown for an address: the looked-up name, or the address when none is known.
    std::string DisplayName(const std::string& address) const;
};

}  // namespace quarn::console
