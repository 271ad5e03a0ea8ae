#include "console/records/run_history.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "console/core/local_time.h"
#include "console/core/number_text.h"
#include "console/records/journal_directory.h"
#include "console/records/journal_reader.h"
#include "console/records/journal_writer.h"

namespace quarn::console::records {
namespace {

namespace fs = std::filesystem;

// The writer holds an exclusive lock for as long as it writes.
bool BeingWritten(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool locked = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
    ::close(fd);
    return locked;
}

// The first and last lines tell a finished run; an unfinished one is read whole.
std::optional<RunInfo> Inspect(const std::string& path) {
    std::optional<RunHead> head;
    std::string last;
    ScanJournal(path, [&](std::string_view line) {
        if (!head) {
            const auto value = ParseJson(line);
            head = value ? DecodeHead(*value) : std::nullopt;
            return head.has_value();
        }
        last.assign(line);
        return true;
    });
    if (!head)
        return std::nullopt;
    RunInfo info;
    info.id = head->run;
    info.path = path;
    info.started = head->started;
    info.tags = head->tags;
    info.pairs = static_cast<int>(std::count_if(head->pairs.begin(), head->pairs.end(),
                                                [](const PairHead& p) { return p.active; }));
    const auto value = ParseJson(last);
    const auto summary = value ? DecodeRunSummary(*value) : std::nullopt;
    if (summary) {
        info.finished = true;
        info.outcome = summary->outcome;
        info.seconds = summary->seconds;
        info.totalAverageMbitPerS = summary->totalAverageMbitPerS;
    } else if (const auto content = ReadJournal(path)) {
        info.seconds = content->seconds;
        // The All row's average: the sum of the pairs' averages.
        for (const auto& [pair, values] : content->values) {
            double sum = 0.0;
            for (const float v : values)
                sum += v;
            info.totalAverageMbitPerS +=
                values.empty() ? 0.0 : sum / static_cast<double>(values.size());
        }
        info.running = BeingWritten(path);
    }
    std::error_code error;
    info.bytes = fs::file_size(path, error);
    return info;
}

bool IsJournalName(const fs::path& path) {
    const std::string name = path.filename().string();
    const std::string extension = JournalWriter::kExtension;
    return name.size() > extension.size() &&
           name.compare(name.size() - extension.size(), extension.size(), extension) == 0;
}

std::string LocalTime(const std::string& utc) {
    const auto when = ParseUtc(utc);
    return when ? FormatMeasuredAt(*when) : utc;
}

std::string Duration(int seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

}  // namespace

std::vector<RunInfo> ListRuns(const std::string& dir) {
    std::vector<RunInfo> runs;
    std::error_code error;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        if (!it->is_regular_file(error) || !IsJournalName(it->path()))
            continue;
        if (std::optional<RunInfo> info = Inspect(it->path().string()))
            runs.push_back(std::move(*info));
    }
    std::sort(runs.begin(), runs.end(), [](const RunInfo& a, const RunInfo& b) {
        return a.started != b.started ? a.started < b.started : a.id < b.id;
    });
    return runs;
}

std::optional<RunInfo> FindRun(const std::string& dir, const std::string& id) {
    // An id is a file name; anything that could leave the directory is no id.
    if (id.empty() || id.find('/') != std::string::npos || id[0] == '.')
        return std::nullopt;
    std::optional<RunInfo> run = Inspect(JournalPath(dir, id));
    return run && run->id == id ? run : std::nullopt;
}

std::optional<RunInfo> LatestUnfinished(const std::string& dir) {
    std::vector<RunInfo> runs = ListRuns(dir);
    for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
        if (!it->finished && !it->running)
            return std::move(*it);
    }
    return std::nullopt;
}

// Only names and sizes are needed: ids begin with the UTC start time, so names sort oldest
// first, and no journal has to be read.
std::vector<std::string> CapHistory(const std::string& dir, std::uintmax_t limit,
                                    const std::string& keepId) {
    std::vector<std::pair<std::string, std::uintmax_t>> journals;
    std::uintmax_t total = 0;
    std::error_code error;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        std::error_code sizeError;
        const std::uintmax_t size = it->file_size(sizeError);
        if (sizeError || !it->is_regular_file(sizeError) || !IsJournalName(it->path()))
            continue;
        journals.emplace_back(it->path().filename().string(), size);
        total += size;
    }
    std::sort(journals.begin(), journals.end());
    const std::string extension = JournalWriter::kExtension;
    std::vector<std::string> deleted;
    for (const auto& [name, size] : journals) {
        if (total <= limit)
            break;
        const std::string id = name.substr(0, name.size() - extension.size());
        const std::string path = dir + "/" + name;
        if (id == keepId || BeingWritten(path))
            continue;
        std::error_code removeError;
        if (fs::remove(path, removeError)) {
            total -= size;
            deleted.push_back(id);
        }
    }
    return deleted;
}

std::string PlanStepText(const PlanTags& tags) {
    std::string text =
        "plan " + tags.plan + ", step " + std::to_string(tags.stepNumber) + " " + tags.step;
    if (tags.repetition > 1)
        text += " (repetition " + std::to_string(tags.repetition) + ")";
    return text;
}

std::string FormatRunList(const std::vector<RunInfo>& runs) {
    if (runs.empty())
        return "No runs in the history.\n";
    std::string text;
    char line[256];
    std::snprintf(line, sizeof line, "%-22s %-19s %5s  %-10s %10s %14s\n", "ID", "Date", "Pairs",
                  "State", "Duration", "Total Mbit/s");
    text += line;
    for (const RunInfo& run : runs) {
        const std::string state = run.running    ? "running"
                                  : run.finished ? run.outcome
                                                 : "unfinished";
        std::snprintf(line, sizeof line, "%-22s %-19s %5d  %-10s %10s %s\n", run.id.c_str(),
                      LocalTime(run.started).c_str(), run.pairs, state.c_str(),
                      Duration(run.seconds).c_str(),
                      FixedText(run.totalAverageMbitPerS, 2, 14).c_str());
        text += line;
        if (!run.tags.plan.empty()) {
            // At the line's end: the columns before it stay as scripts read them.
            text.insert(text.size() - 1, "  " + PlanStepText(run.tags));
        }
    }
    return text;
}

std::string RunStartText(const RunInfo& run) {
    return LocalTime(run.started);
}

std::string RecentRunText(const RunInfo& run) {
    char line[160];
    std::snprintf(line, sizeof line, "%s  %s  %d %s  %s Mbit/s%s", LocalTime(run.started).c_str(),
                  Duration(run.seconds).c_str(), run.pairs, run.pairs == 1 ? "pair" : "pairs",
                  FixedText(run.totalAverageMbitPerS, 2).c_str(),
                  run.finished ? "" : "  (did not finish)");
    return line;
}

std::optional<std::uintmax_t> ParseSize(const std::string& text) {
    std::uintmax_t value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr == text.data())
        return std::nullopt;
    const std::string suffix(ptr, text.data() + text.size());
    int shift = 0;
    if (suffix == "K" || suffix == "k")
        shift = 10;
    else if (suffix == "M")
        shift = 20;
    else if (suffix == "G")
        shift = 30;
    else if (!suffix.empty())
        return std::nullopt;
    if (value > (UINTMAX_MAX >> shift))
        return std::nullopt;
    return value << shift;
}

}  // namespace quarn::console::records
