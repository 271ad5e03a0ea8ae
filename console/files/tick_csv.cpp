#include "console/files/tick_csv.h"

#include <optional>

#include "console/core/number_text.h"
#include "console/files/config_numbers.h"

namespace quarn::console {
namespace {

bool UdpRun(const PairTable& table) {
    for (const PairRecord& pair : table.Pairs()) {
        if (pair.config.active && pair.run.protocol == Protocol::Udp)
            return true;
    }
    return false;
}

// "%.3f" of a figure in any locale, or nothing.
std::string Cell(const std::optional<double>& value) {
    return value ? FixedText(*value, 3) : std::string();
}

}  // namespace

TickCsv::~TickCsv() {
    Close();
}

bool TickCsv::Open(const std::string& path, const PairTable& table) {
    Close();
    file_ = std::fopen(path.c_str(), "w");
    good_ = file_ != nullptr;
    headerWritten_ = false;
    names_.clear();
    for (int r = 1; r < table.Size(); ++r)
        names_.push_back(table[r].name);
    return good_;
}

void TickCsv::WriteHeader(const PairTable& table) {
    headerWritten_ = true;
    udp_ = UdpRun(table);
    std::string header = "tick";
    for (const std::string& name : names_)
        header += "," + name;
    header += ",All";
    for (std::size_t i = 0; withQuality_ && i < names_.size(); ++i) {
        const std::string& name = names_[i];
        if (udp_)
            header += "," + name + " loss %," + name + " jitter ms";
        header += "," + name + " RTT ms";
    }
    Put(header + "\n");
}

void TickCsv::WriteTick(int tick, const PairTable& table) {
    if (file_ == nullptr)
        return;
    if (!headerWritten_)
        WriteHeader(table);
    // Every figure in full: a float can need 43 characters, so nothing fixed-size here.
    std::string row = std::to_string(tick);
    for (const PairRecord& pair : table.Pairs()) {
        row += ',';
        if (!pair.config.active)
            continue;
        row += FormatFixed2(pair.figures.current);
    }
    row += ',';
    row += FormatFixed2(table.All().figures.sum);
    for (int r = 1; withQuality_ && r < table.Size(); ++r) {
        const bool active = table[r].config.active;
        const PairQuality& quality = table[r].figures.quality;
        if (udp_) {
            row += ',' + (active ? Cell(quality.lastLossPercent) : std::string());
            row += ',' + (active ? Cell(quality.lastJitterMs) : std::string());
        }
        row += ',' + (active ? Cell(quality.lastRttMs) : std::string());
    }
    row += '\n';
    Put(row);
}

bool TickCsv::Put(const std::string& text) {
    good_ = good_ && std::fputs(text.c_str(), file_) >= 0 && std::fflush(file_) == 0;
    return good_;
}

void TickCsv::Close() {
    if (file_ == nullptr)
        return;
    if (!headerWritten_) {
        PairTable none;
        WriteHeader(none);
    }
    good_ = (std::fclose(file_) == 0) && good_;
    file_ = nullptr;
}

}  // namespace quarn::console
