#pragma once

#include <string>
#include <vector>

namespace quarn::console::test {

// Output lines of real iperf 2 runs from the capture files (see IPERF2 notes): either a
// plain server capture (its "####" title line skipped) or the server side of one
// "#### <scenario>" section of a multi-scenario capture.
std::vector<std::string> PlainCaptureLines(const std::string& file);
std::vector<std::string> ServerLines(const std::string& file, const std::string& scenario);

// Only the lines that carry a rate.
std::vector<std::string> RateLines(const std::vector<std::string>& lines);

}  // namespace quarn::console::test
