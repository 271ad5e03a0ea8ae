#include "console/files/tick_csv.h"

#include "console/files/config_numbers.h"

namespace quarn::console {

TickCsv::~TickCsv() {
    Close();
}

bool TickCsv::Open(const std::string& path, const PairTable& table) {
    Close();
    file_ = std::fopen(path.c_str(), "w");
    good_ = file_ != nullptr;
    if (!good_)
        return false;
    std::string header = "tick";
    for (int r = 1; r < table.Size(); ++r)
        header += "," + table[r].name;
    header += ",All\n";
    good_ = std::fputs(header.c_str(), file_) >= 0 && std::fflush(file_) == 0;
    return good_;
}

void TickCsv::WriteTick(int tick, const PairTable& table) {
    if (file_ == nullptr)
        return;
    // Every figure in full: a float can need 43 characters, so nothing fixed-size here.
    std::string row = std::to_string(tick);
    for (int r = 1; r < table.Size(); ++r) {
        row += ',';
        if (!table[r].active)
            continue;
        row += FormatFixed2(table[r].current);
    }
    row += ',';
    row += FormatFixed2(table.All().sum);
    row += '\n';
    good_ = good_ && std::fputs(row.c_str(), file_) >= 0 && std::fflush(file_) == 0;
}

void TickCsv::Close() {
    if (file_ == nullptr)
        return;
    good_ = (std::fclose(file_) == 0) && good_;
    file_ = nullptr;
}

}  // namespace quarn::console
