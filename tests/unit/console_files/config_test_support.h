#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>

#include "console/core/console_data.h"

namespace quarn::console::test {

// A scratch directory removed with everything in it. Under a memory file system, when
// asked for one, flushing to disk costs nothing (for loops of many saves).
class TempDir {
  public:
    enum class Place { Disk, Memory };

    explicit TempDir(Place place = Place::Disk) {
        std::error_code error;
        const bool inMemory =
            place == Place::Memory && std::filesystem::is_directory("/dev/shm", error);
        const std::filesystem::path base =
            inMemory ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
        std::string pattern = (base / "quarn-files-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// UTF-16LE of an ASCII text, built without the code under test.
inline std::string LeAscii(std::string_view ascii) {
    std::string bytes;
    for (const char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// A whole .config file whose text part is ASCII.
inline std::string ConfigFileBytes(std::string_view asciiText) {
    return std::string("\xFF\xFE") + "{2E01FA3A-1C1D-4df1-BB63-3DB505F897BD}" + LeAscii(asciiText);
}

inline ChartSeries Samples(std::initializer_list<float> values) {
    ChartSeries series;
    for (const float value : values) {
        series.push_back(ChartPoint{value});
    }
    return series;
}

// The figures of a row as the statistics leave them: values and their "%.2f" texts.
inline void SetFigures(PairRecord& row, int count, float average, float min, float max,
                       float current) {
    const auto fixed2 = [](float value) {
        char text[64];
        std::snprintf(text, sizeof text, "%.2f", static_cast<double>(value));
        return std::string(text);
    };
    row.figures.count = count;
    row.figures.countText = std::to_string(count);
    row.figures.average = average, row.figures.averageText = fixed2(average);
    row.figures.min = min, row.figures.minText = fixed2(min);
    row.figures.max = max, row.figures.maxText = fixed2(max);
    row.figures.current = current, row.figures.currentText = fixed2(current);
}

// A measured state with everything a file can carry: non-ASCII names, UDP settings, an
// inactive pair, samples that need rounding and a pair without a series.
inline ConsoleData MeasuredState() {
    ConsoleData data;
    data.measuredAt = "2024-12-31 23:59:59";
    data.endPoints = {{"198.18.0.1", "", "1555", "", "측정-PC 😀", "(측정-PC 😀"},
                      {"198.18.0.2", "5001", "45000", "", "", ""}};
    data.nameLookup = {
        {"198.18.0.1", "측정-PC 😀"}, {"198.18.0.2", ""}, {"198.18.0.9", "only [named] here"}};
    data.settings.protocol = Protocol::Udp;
    data.settings.throughputText = "250.5";
    data.ticks = 120;
    data.table.All().config.showTotal = true;
    SetFigures(data.table.All(), 300, 24.68f, 2.0f, 199.98f, 100.0f);
    for (int i = 0; i < 3; ++i) {
        PairRecord pair;
        pair.config.endpoint1 = "198.18.0." + std::to_string(i + 1);
        pair.config.endpoint2 = "198.18.1." + std::to_string(i + 1);
        pair.config.parallel = 4 + i;
        pair.config.showAddress = i % 2 == 1;
        pair.figures.state = i == 2 ? PairState::Inactive : PairState::Stopped;
        pair.config.active = i != 2;
        pair.figures.statusText = std::string(StatusText(pair.figures.state));
        SetFigures(pair, 100 + i, 12.34f, 1.0f, 99.99f, 50.0f);
        data.table.AppendPair(pair);
    }
    data.chart.AppendSeries(Samples({0.126f, 1234.567f, -1.0f}));
    data.chart.AppendSeries(Samples({}));
    data.chart.AppendSeries(Samples({7.0f, 8.0f, 9.0f, 10.0f}));
    return data;  // pair 3 has no series
}

// Everything a .config file carries, one line per item, for comparing two states.
inline std::string DescribeSavedState(const ConsoleData& data) {
    std::ostringstream out;
    out << "time " << data.measuredAt << "\nticks " << data.ticks << "\nsettings "
        << data.settings.durationText << ' ' << (data.settings.protocol == Protocol::Udp ? 1 : 0)
        << ' ' << data.settings.windowSizeText << ' ' << data.settings.throughputText << '\n';
    for (const EndPointEntry& entry : data.endPoints) {
        out << "endpoint " << entry.address << " label " << entry.label << '\n';
    }
    for (const auto& [address, name] : data.nameLookup) {
        out << "name " << address << " = " << name << '\n';
    }
    for (int row = 0; row < data.table.Size(); ++row) {
        const PairRecord& r = data.table[row];
        out << "row " << r.name << ' ' << r.config.endpoint1 << ' ' << r.config.endpoint2 << ' '
            << static_cast<int>(r.figures.state) << ' ' << r.figures.statusText << ' '
            << r.config.active << ' ' << r.figures.count << ' ' << r.figures.countText << ' '
            << r.config.parallel << ' ' << r.config.showAddress << ' ' << r.config.showTotal << ' '
            << r.figures.average << ' ' << r.figures.averageText << ' ' << r.figures.min << ' '
            << r.figures.minText << ' ' << r.figures.max << ' ' << r.figures.maxText << ' '
            << r.figures.current << ' ' << r.figures.currentText << '\n';
    }
    for (const ChartSeries& series : data.chart.Series()) {
        out << "series";
        for (const ChartPoint& point : series) {
            out << ' ' << point.value;
        }
        out << '\n';
    }
    return out.str();
}

}  // namespace quarn::console::test
