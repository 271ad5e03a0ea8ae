// Any argument list (NUL-separated) as the headless command line: it is understood or
// refused with a reason, and what it accepted is within what a run can do.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "address/ip_address.h"
#include "address/ipv4.h"
#include "console/core/pair_table.h"
#include "console/headless/headless_options.h"
#include "console/records/metrics_server.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

std::vector<std::string> SplitArguments(std::string_view text) {
    std::vector<std::string> args = {"Quarn_Console"};
    std::size_t start = 0;
    while (start <= text.size() && args.size() < 64) {
        const std::size_t end = std::min(text.find('\0', start), text.size());
        args.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return args;
}

void CheckAccepted(const quarn::console::HeadlessOptions& options,
                   const std::vector<std::string>& args) {
    FUZZ_CHECK(options.pairs.size() <= quarn::console::PairTable::kMaxPairs);
    for (const quarn::console::PairSpec& pair : options.pairs) {
        // Either family, kept in its canonical text.
        for (const std::string& endpoint : {pair.endpoint1, pair.endpoint2}) {
            const auto address = quarn::ParseIpAddress(endpoint);
            FUZZ_CHECK(address.has_value());
            FUZZ_CHECK(quarn::FormatIpAddress(*address) == endpoint);
        }
        FUZZ_CHECK(pair.streams >= 1 && pair.streams <= 16);
    }
    if (!options.metricsAddress.empty()) {
        FUZZ_CHECK(quarn::console::records::ParseListenAddress(options.metricsAddress).Ok());
    }
    // Every value came from the command line as it was given.
    const auto given = [&](const std::string& value) {
        for (const std::string& arg : args) {
            if (arg == value || arg.ends_with("=" + value)) {
                return true;
            }
        }
        return false;
    };
    FUZZ_CHECK(options.openPath.empty() || given(options.openPath));
    FUZZ_CHECK(options.savePath.empty() || given(options.savePath));
    FUZZ_CHECK(!options.durationText || given(*options.durationText));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> args =
        SplitArguments(std::string_view(reinterpret_cast<const char*>(data), size));
    const auto result = quarn::console::ParseHeadlessOptions(args);
    FUZZ_CHECK(result.Ok() == result.Why().empty());
    if (result) {
        CheckAccepted(*result, args);
    }
    // The same arguments give the same answer.
    FUZZ_CHECK(quarn::console::ParseHeadlessOptions(args).Why() == result.Why());
    return 0;
}
