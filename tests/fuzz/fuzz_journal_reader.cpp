// Any text as the records of a journal, written the way the Console writes one (and, for
// inputs whose first byte is odd, the raw bytes as a damaged file): scanning yields exactly
// the complete lines in order, and reading gives a defined answer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/records/journal_file.h"
#include "console/records/journal_reader.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/fuzz_scratch.h"

namespace {

using namespace quarn::console::records;

const quarn::fuzz::ScratchDir& Scratch() {
    static const quarn::fuzz::ScratchDir dir;
    return dir;
}

std::vector<std::string> CompleteLines(std::string_view text) {
    std::vector<std::string> lines;
    for (std::size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n')) {
        lines.emplace_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    return lines;
}

// Only seconds every active pair reached are kept, for every pair alike.
void CheckContent(const JournalContent& content) {
    FUZZ_CHECK(content.seconds >= 0);
    const auto kept = static_cast<std::size_t>(content.seconds);
    for (const auto& [pair, values] : content.values) {
        FUZZ_CHECK(values.size() <= kept);
    }
    for (const auto& [pair, quality] : content.quality) {
        FUZZ_CHECK(quality.size() <= kept);
    }
    for (const PairHead& pair : content.head.pairs) {
        if (pair.active) {
            const auto found = content.values.find(pair.pair);
            FUZZ_CHECK(found != content.values.end() && found->second.size() == kept);
        }
    }
    FUZZ_CHECK(content.lastTime.empty() || content.seconds > 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool raw = (data[0] & 1) != 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string path = Scratch().File("run.jsonl.zst");
    quarn::fuzz::Remove(path);
    if (raw) {
        quarn::fuzz::WriteBytes(path, text);
    } else {
        JournalFile journal;
        FUZZ_CHECK(journal.Open(path, 1));
        journal.WriteLines(text);
        journal.RunEnded();
    }
    std::vector<std::string> scanned;
    FUZZ_CHECK(ScanJournal(path, [&](std::string_view line) {
        scanned.emplace_back(line);
        return true;
    }));
    if (!raw) {
        FUZZ_CHECK(scanned == CompleteLines(text));
    }
    // Stopping early is honoured.
    int visits = 0;
    ScanJournal(path, [&](std::string_view) { return ++visits < 2; });
    FUZZ_CHECK(visits <= 2 && visits <= static_cast<int>(scanned.size()));

    if (const auto content = ReadJournal(path)) {
        CheckContent(*content);
    }
    return 0;
}
