#include "tests/unit/console_core/iperf_capture.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quarn::console::test {

namespace {

std::vector<std::string> ReadLines(const std::string& file) {
    const std::string path = std::string(QUARN_TESTDATA_DIR) + "/" + file;
    std::ifstream in(path);
    EXPECT_TRUE(in.is_open()) << "missing capture " << path;
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

std::vector<std::string> PlainCaptureLines(const std::string& file) {
    std::vector<std::string> lines;
    for (const std::string& line : ReadLines(file)) {
        if (line.rfind("####", 0) != 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::vector<std::string> ServerLines(const std::string& file, const std::string& scenario) {
    std::vector<std::string> lines;
    bool inScenario = false;
    bool inServer = false;
    for (const std::string& line : ReadLines(file)) {
        if (line.rfind("#### ", 0) == 0) {
            inScenario = line.substr(5) == scenario;
            inServer = false;
        } else if (line.rfind("--- ", 0) == 0) {
            inServer = inScenario && line.rfind("--- server", 0) == 0;
        } else if (inServer) {
            // "  1.71 |text": the arrival time, then the line as iperf printed it.
            const auto bar = line.find('|');
            if (bar != std::string::npos) {
                lines.push_back(line.substr(bar + 1));
            }
        }
    }
    EXPECT_FALSE(lines.empty()) << "no server lines for '" << scenario << "' in " << file;
    return lines;
}

std::vector<std::string> RateLines(const std::vector<std::string>& lines) {
    std::vector<std::string> rates;
    for (const std::string& line : lines) {
        if (line.find("Mbits/sec") != std::string::npos) {
            rates.push_back(line);
        }
    }
    return rates;
}

}  // namespace quarn::console::test
