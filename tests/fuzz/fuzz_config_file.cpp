// Any bytes opened as a .config file: the reader gives a defined answer, and whatever it
// accepted saves to a file that opens and saves again to the very same bytes.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "console/core/console_data.h"
#include "console/files/config_file.h"
#include "console/files/opened_run_state.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/fuzz_scratch.h"

namespace {

using namespace quarn::console;

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    FUZZ_CHECK(out.good());
}

ConfigResult Open(const std::string& path, ConsoleData& data) {
    const ConfigResult result = ReadConfigFile(path, data, [&] { data.ResetToNew(); });
    ApplyOpenedRunState(data);
    return result;
}

void CheckShape(const ConsoleData& data) {
    FUZZ_CHECK(data.table.PairCount() >= 0 && data.table.PairCount() <= PairTable::kMaxPairs);
    const std::size_t series = data.chart.Series().size();
    FUZZ_CHECK(series == 0 || series == static_cast<std::size_t>(data.table.PairCount()) + 1);
    // A damaged file may hold any tick count (it is saved back as read); the chart must
    // still get a usable run length and label step.
    FUZZ_CHECK(data.chart.RunLength() >= 1 && data.chart.TickStep() >= 1);
    FUZZ_CHECK(data.chart.FirstVisibleSample() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const quarn::fuzz::ScratchDir dir;
    const std::string input = dir.File("input.config");
    const std::string first = dir.File("first.config");
    const std::string second = dir.File("second.config");
    WriteBytes(input, data, size);

    ConsoleData opened;
    const ConfigResult result = Open(input, opened);
    // A readable regular file is never -1.
    FUZZ_CHECK(result == ConfigResult::Done || result == ConfigResult::NotConfigFile ||
               result == ConfigResult::Incomplete);
    CheckShape(opened);
    if (result == ConfigResult::NotConfigFile) {
        // Not a configuration file: the state is what New left.
        FUZZ_CHECK(opened.table.PairCount() == 0 && opened.endPoints.empty() &&
                   opened.nameLookup.empty() && opened.measuredAt.empty() && opened.ticks == 0);
        return 0;
    }

    FUZZ_CHECK(WriteConfigFile(first, opened).Ok());
    ConsoleData reopened;
    FUZZ_CHECK(Open(first, reopened) == ConfigResult::Done);
    CheckShape(reopened);
    FUZZ_CHECK(reopened.table.PairCount() == opened.table.PairCount());
    FUZZ_CHECK(reopened.ticks == opened.ticks);
    FUZZ_CHECK(WriteConfigFile(second, reopened).Ok());
    FUZZ_CHECK(ReadBytes(second) == ReadBytes(first));
    return 0;
}
