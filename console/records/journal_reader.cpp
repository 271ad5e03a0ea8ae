#include "console/records/journal_reader.h"

#include <zstd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

namespace quarn::console::records {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
struct DStreamFreer {
    void operator()(ZSTD_DStream* stream) const { ZSTD_freeDStream(stream); }
};

// Hands out the complete lines of `text` and keeps the unfinished rest in it.
bool EmitLines(std::string& text, const std::function<bool(std::string_view)>& visit) {
    std::size_t begin = 0;
    bool more = true;
    for (std::size_t end; more && (end = text.find('\n', begin)) != std::string::npos;) {
        more = visit(std::string_view(text).substr(begin, end - begin));
        begin = end + 1;
    }
    text.erase(0, begin);
    return more;
}

class ContentBuilder {
  public:
    bool Take(std::string_view line) {
        const std::optional<JsonValue> value = ParseJson(line);
        if (!value)
            return false;
        const std::string type = RecordType(*value);
        if (!content_) {
            std::optional<RunHead> head = DecodeHead(*value);
            if (!head)
                return false;
            content_.emplace();
            content_->head = std::move(*head);
            return true;
        }
        if (type == "second")
            return TakeSecond(*value);
        if (type == "pair_summary") {
            std::optional<PairSummary> summary = DecodePairSummary(*value);
            if (summary && summary->run == content_->head.run)
                content_->pairSummaries[summary->pair] = *summary;
            return summary.has_value();
        }
        if (type == "run_summary") {
            content_->summary = DecodeRunSummary(*value);
            // Nothing may follow the closing record.
            return false;
        }
        return true;  // a record type of a later version
    }

    std::optional<JournalContent> Finish() {
        if (!content_)
            return std::nullopt;
        int seconds = -1;
        for (const PairHead& pair : content_->head.pairs) {
            if (!pair.active)
                continue;
            const int have = static_cast<int>(content_->values[pair.pair].size());
            seconds = seconds < 0 ? have : std::min(seconds, have);
        }
        content_->seconds = std::max(seconds, 0);
        // A second that not every pair reached is dropped, as the core never processed it.
        const auto kept = static_cast<std::size_t>(content_->seconds);
        for (auto& [id, values] : content_->values) {
            if (values.size() > kept)
                values.resize(kept);
        }
        for (auto& [id, quality] : content_->quality) {
            if (quality.size() > kept)
                quality.resize(kept);
        }
        // The last second of a pair may be one the others never reached.
        for (const auto& [id, recent] : runQuality_) {
            for (const auto& [second, figures] : recent) {
                if (second == content_->seconds)
                    content_->runQuality[id] = figures;
            }
        }
        content_->lastTime =
            content_->seconds > 0 && content_->seconds <= static_cast<int>(times_.size())
                ? times_[static_cast<std::size_t>(content_->seconds - 1)]
                : std::string();
        return std::move(content_);
    }

  private:
    bool TakeSecond(const JsonValue& value) {
        const std::optional<SecondRecord> second = DecodeSecond(value);
        if (!second || second->run != content_->head.run)
            return false;
        std::vector<float>& values = content_->values[second->pair];
        // Seconds come in order; anything else is damage.
        if (second->second != static_cast<int>(values.size()) + 1)
            return false;
        values.push_back(static_cast<float>(second->mbitPerS));
        content_->quality[second->pair].push_back(second->quality);
        auto& recent = runQuality_[second->pair];
        recent[0] = std::move(recent[1]);
        recent[1] = {second->second, second->runQuality};
        if (static_cast<int>(times_.size()) < second->second)
            times_.push_back(second->time);
        else
            times_[static_cast<std::size_t>(second->second - 1)] = second->time;
        return true;
    }

    std::optional<JournalContent> content_;
    std::vector<std::string> times_;
    // Per pair, its last two seconds' run figures (second, figures): only those can be
    // the last complete second's.
    std::map<long long, std::array<std::pair<int, RunQualityFigures>, 2>> runQuality_;
};

}  // namespace

bool ScanJournal(const std::string& path, const std::function<bool(std::string_view)>& visit) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    std::unique_ptr<ZSTD_DStream, DStreamFreer> stream(ZSTD_createDStream());
    if (!file || !stream)
        return false;
    std::vector<char> input(ZSTD_DStreamInSize());
    std::vector<char> output(ZSTD_DStreamOutSize());
    std::string text;
    std::size_t read = 0;
    while ((read = std::fread(input.data(), 1, input.size(), file.get())) > 0) {
        ZSTD_inBuffer in{input.data(), read, 0};
        while (in.pos < in.size) {
            ZSTD_outBuffer out{output.data(), output.size(), 0};
            const std::size_t result = ZSTD_decompressStream(stream.get(), &out, &in);
            text.append(output.data(), out.pos);
            // Damage ends the journal: the complete lines before it still count.
            if (!EmitLines(text, visit) || ZSTD_isError(result))
                return true;
        }
    }
    // Output the decoder still holds for the input it has.
    for (;;) {
        ZSTD_inBuffer in{nullptr, 0, 0};
        ZSTD_outBuffer out{output.data(), output.size(), 0};
        const std::size_t result = ZSTD_decompressStream(stream.get(), &out, &in);
        text.append(output.data(), out.pos);
        if (ZSTD_isError(result) || out.pos == 0)
            break;
    }
    EmitLines(text, visit);
    return true;
}

std::optional<JournalContent> ReadJournal(const std::string& path) {
    ContentBuilder builder;
    if (!ScanJournal(path, [&](std::string_view line) { return builder.Take(line); }))
        return std::nullopt;
    return builder.Finish();
}

}  // namespace quarn::console::records
