#pragma once

#include <string_view>

namespace quarn::console {

// Reading iperf 2 report lines ("-f m", one line per interval).

// The line without one trailing CR (lines may arrive with CR LF endings).
std::string_view WithoutTrailingCr(std::string_view line);

// Any line that mentions "failed" ends the run with an error.
bool IsFailureLine(std::string_view line);

// Rates outside 0..10^6 Mbit/s (negative, above 1 Tbit/s for one pair, not finite) are no
// measurement: a broken or hostile peer's line is logged but never counted. The bound also
// keeps every figure short enough to be shown whole ("1000000.00").
inline constexpr double kMaxRateMbits = 1e6;
bool IsPossibleRate(double mbits);

// A line that carries a possible rate in Mbits/sec for the pair. With TCP and two or more
// parallel streams only the "[SUM]" lines count.
bool IsSampleLine(std::string_view line, int parallel, bool udp);

// A report whose interval starts at zero ("[  4]  0.0- 3.0 sec", "[  1] 0.0000-12.0005 sec",
// "[SUM]  0.0-10.0 sec"): the first interval of a run, or the run's total at its end.
bool IsRunTotalLine(std::string_view line);

// The number before "Mbits/sec" (the last token when there is none); 0 when it is not a
// finite number that fits a float.
float SampleValue(std::string_view line);

}  // namespace quarn::console
