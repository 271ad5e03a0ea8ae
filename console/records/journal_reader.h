#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/records/record_format.h"

namespace quarn::console::records {

// Decompresses a journal and hands every complete line to `visit` (without its LF) until
// `visit` returns false. A journal cut anywhere, or damaged, yields the lines before the
// cut or damage. False when the file cannot be opened.
bool ScanJournal(const std::string& path, const std::function<bool(std::string_view)>& visit);

// What a journal holds, read back.
struct JournalContent {
    RunHead head;
    // Per pair id, the value of each processed second in order (index 0 is second 1).
    std::map<long long, std::vector<float>> values;
    // Per pair id, the quality figures of the same seconds (each present where known).
    std::map<long long, std::vector<QualityFigures>> quality;
    // Per pair id, its run figures as they stood at the last complete second.
    std::map<long long, RunQualityFigures> runQuality;
    // Seconds every active pair has: the run as far as it got.
    int seconds = 0;
    std::string lastTime;  // of the last complete second, RFC 3339 UTC
    std::map<long long, PairSummary> pairSummaries;
    std::optional<RunSummary> summary;  // present: the run ended properly
    bool Finished() const { return summary.has_value(); }
};

// Reads a whole journal; nullopt when it cannot be opened or has no head. Reading stops at
// the first line that is not a record of this run (damage), keeping what came before.
std::optional<JournalContent> ReadJournal(const std::string& path);

}  // namespace quarn::console::records
