#pragma once

#include <string>

namespace quarn::console {

// The operator's settings, held as the texts typed into the main window.
struct MeasurementSettings {
    std::string durationText = "60";
    int udp = 0;
    std::string windowSizeText = "5";    // MByte, TCP
    std::string throughputText = "100";  // Mbit/s, UDP
    // The value box shows the text of the selected protocol.
    std::string& ValueText() { return udp ? throughputText : windowSizeText; }
    const std::string& ValueText() const { return udp ? throughputText : windowSizeText; }
};

}  // namespace quarn::console
