#pragma once

#include <optional>
#include <string>

#include "console/core/pair_failure.h"

#include "console/core/pair_log.h"
#include "console/core/pair_quality.h"
#include "console/core/pair_state.h"

namespace quarn::console {

// One row of the pair table. Row 0 is the aggregate "All" row.
struct PairRecord {
    std::string name;
    int index = -1;   // row number while a run is active; the pair's id in worker events
    int remote = -1;  // 1: End Point 1 runs the iperf client; 0: this Console runs it
    std::string endpoint1;
    std::string endpoint2;
    bool udp = false;
    std::string interval;  // "1" while running
    std::string time;      // iperf run time: duration + 300
    std::string iperfPath;
    PairLog log;
    bool finished = false;  // the pair's worker has ended in this run
    int result = 0;         // worker's return value: 0 normal end, -1 failure
    PairState state = PairState::Ready;
    float max = 0.0f;
    float min = -1.0f;  // -1: no sample yet
    float sum = 0.0f;
    float current = 0.0f;
    float average = 0.0f;
    float peakSingle = 0.0f;  // All row only: highest single-pair sample of the run
    std::string statusText = "Ready";
    std::string countText = "0";
    std::string currentText = "0.00";
    std::string averageText = "0.00";
    std::string minText = "0.00";
    std::string maxText = "0.00";
    int count = 0;
    int parallel = 1;
    bool showTotal = false;  // All row only: the chart shows the aggregate curve
    bool active = true;
    bool showAddress = true;             // false: EndPoint names where known
    std::string rateText;                // "%fm" of the window size (TCP) or throughput (UDP)
    PairQuality quality;                 // All row: the run's total loss only
    std::optional<PairFailure> failure;  // why the last run failed for this pair
};

}  // namespace quarn::console
