// Any bytes as what a run is compared with: a saved .config file (first byte odd) or the
// records of a run in the history. Loading gives a defined answer, and a loaded reference
// matches rows and lays its curves onto a chart without reaching outside either.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "console/core/console_data.h"
#include "console/records/journal_file.h"
#include "console/records/json_value.h"
#include "console/records/reference_loading.h"
#include "console/records/reference_model.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/fuzz_scratch.h"

namespace {

using namespace quarn::console;

const quarn::fuzz::ScratchDir& Scratch() {
    static const quarn::fuzz::ScratchDir dir;
    return dir;
}

// The history knows a run by the id its head names.
std::string RunIdOf(std::string_view text) {
    const auto head = records::ParseJson(text.substr(0, text.find('\n')));
    const auto id = head ? head->StringAt("run") : std::nullopt;
    return id ? *id : std::string("20261209-010000-abcd");
}

std::string Place(std::string_view text, bool asFile) {
    if (asFile) {
        const std::string path = Scratch().File("reference.config");
        quarn::fuzz::WriteBytes(path, text);
        return path;
    }
    const std::string id = RunIdOf(text);
    if (id.empty() || id.find('/') != std::string::npos || id.find('\0') != std::string::npos ||
        id.size() > 200) {
        return id;
    }
    const std::string path = Scratch().File(id + records::JournalFile::kExtension);
    quarn::fuzz::Remove(path);
    records::JournalFile journal;
    if (journal.Open(path, 1)) {
        journal.WriteLines(text);
        journal.RunEnded();
    }
    return id;
}

void CheckReference(std::unique_ptr<ConsoleData> loaded) {
    const ConsoleData current = ConsoleData(*loaded);
    records::ReferenceModel reference;
    reference.Set(std::move(loaded), "reference");
    FUZZ_CHECK(reference.Active());
    const int referenceRows = reference.Run()->table.Size();
    for (int row = 0; row < current.table.Size(); ++row) {
        const std::optional<int> matched = reference.RowFor(current.table, row);
        FUZZ_CHECK(!matched || (*matched >= 0 && *matched < referenceRows));
        for (const ChartMeasure measure :
             {ChartMeasure::Throughput, ChartMeasure::Latency, ChartMeasure::Loss}) {
            const ChartSeries curve =
                reference.CurveFor(current.table, current.chart, measure, row);
            // Never more points than the reference's seconds cover.
            std::size_t longest = 0;
            for (const ChartSeries& series : reference.Run()->chart.SeriesOf(measure)) {
                longest = std::max(longest, series.size());
            }
            const auto bin =
                static_cast<std::size_t>(std::max(reference.Run()->chart.SecondsPerPoint(), 1));
            FUZZ_CHECK(curve.size() <= longest * bin);
        }
    }
    reference.Clear();
    FUZZ_CHECK(!reference.Active());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool asFile = (data[0] & 1) != 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string where = Place(text, asFile);
    auto loaded = std::make_unique<ConsoleData>();
    const Outcome outcome = records::LoadReference(where, Scratch().Path(), *loaded);
    FUZZ_CHECK(outcome.Ok() || !outcome.Why().empty());  // a refusal says why
    if (outcome.Ok()) {
        FUZZ_CHECK(loaded->table.PairCount() <= PairTable::kMaxPairs);
        CheckReference(std::move(loaded));
    }
    quarn::fuzz::Remove(Scratch().File("reference.config"));
    return 0;
}
