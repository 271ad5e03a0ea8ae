#pragma once

#include <string>

#include "console/core/pair_record.h"
#include "console/core/pass_lines.h"

namespace quarn::console {

// The operator's settings, held as the texts typed into the main window.
struct MeasurementSettings {
    std::string durationText = "60";
    Protocol protocol = Protocol::Tcp;
    std::string windowSizeText = "5";    // MByte, TCP
    std::string throughputText = "100";  // Mbit/s, UDP
    PassLines passLines;                 // the run's; a pair's own lines override them
    // The value box shows the text of the selected protocol.
    std::string& ValueText() { return protocol == Protocol::Udp ? throughputText : windowSizeText; }
    const std::string& ValueText() const {
        return protocol == Protocol::Udp ? throughputText : windowSizeText;
    }
};

}  // namespace quarn::console
