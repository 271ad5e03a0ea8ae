#include "console/files/tick_csv.h"

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
    std::string row = std::to_string(tick);
    char value[32];
    for (int r = 1; r < table.Size(); ++r) {
        row += ',';
        if (!table[r].active)
            continue;
        std::snprintf(value, sizeof value, "%.2f", table[r].current);
        row += value;
    }
    std::snprintf(value, sizeof value, ",%.2f\n", table.All().sum);
    row += value;
    good_ = good_ && std::fputs(row.c_str(), file_) >= 0 && std::fflush(file_) == 0;
}

void TickCsv::Close() {
    if (file_ == nullptr)
        return;
    good_ = (std::fclose(file_) == 0) && good_;
    file_ = nullptr;
}

}  // namespace quarn::console
