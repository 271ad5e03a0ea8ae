#pragma once

#include <optional>
#include <string>
#include <vector>

#include "console/core/pair_failure.h"
#include "console/core/pair_id.h"
#include "console/core/pair_quality.h"
#include "console/core/pair_state.h"
#include "console/core/pass_lines.h"
#include "console/core/traffic_options.h"

namespace quarn::console {

enum class Protocol { Tcp, Udp };

// Which side runs a pair's iperf client.
enum class ClientSide {
    EndPoint1,  // End Point 1's agent, asked over its control connection
    Console,    // this Console itself, because End Point 1 is this machine
};

// How a pair's worker ended.
enum class PairResult { Normal, Failed };

// What the operator set up for a pair: what Copy takes and a file keeps.
struct PairConfig {
    std::string endpoint1;
    std::string endpoint2;
    int parallel = 1;
    bool active = true;
    bool showAddress = true;  // false: EndPoint names where known
    bool showTotal = false;   // All row only: the chart shows the aggregate curve
    PassLines passLines;      // what this pair must reach beyond the run's lines
    TrafficOptions traffic;   // marking, length and MSS of the pair's traffic
};

// What the list shows of the last run: the pair's state and its statistics, as numbers
// and as texts.
struct PairFigures {
    PairState state = PairState::Ready;
    std::string statusText = "Ready";
    int count = 0;
    float max = 0.0f;
    float min = -1.0f;  // -1: no sample yet
    float sum = 0.0f;
    float current = 0.0f;
    float average = 0.0f;
    float peakSingle = 0.0f;  // All row only: highest single-pair sample of the run
    std::string countText = "0";
    std::string currentText = "0.00";
    std::string averageText = "0.00";
    std::string minText = "0.00";
    std::string maxText = "0.00";
    PairQuality quality;  // All row: the run's total loss only
};

// What a run set up for the pair's worker and what the worker reported back.
struct PairRunState {
    ClientSide client = ClientSide::EndPoint1;
    Protocol protocol = Protocol::Tcp;
    std::string interval;  // "1" while running
    std::string time;      // iperf run time: duration + 300
    std::string rateText;  // "%fm" of the window size (TCP) or throughput (UDP)
    std::string iperfPath;
    bool finished = false;  // the pair's worker has ended in this run
    PairResult result = PairResult::Normal;
    std::optional<PairFailure> failure;  // why the last run failed for this pair
    // The EndPoints the last run reached without the lab key (a keyed Console only).
    std::vector<std::string> unauthenticated;
};

// One row of the pair table. Row 0 is the aggregate "All" row. The pair's log is kept
// apart, by id (PairLogs), so the table copies cheaply.
struct PairRecord {
    PairId id;
    std::string name;
    PairConfig config;
    PairFigures figures;
    PairRunState run;
};

}  // namespace quarn::console
