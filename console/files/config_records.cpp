#include "console/files/config_records.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include "console/core/number_text.h"
#include "console/files/config_fields.h"
#include "console/files/config_layout.h"
#include "console/files/config_numbers.h"
#include "console/files/config_pass_lines.h"
#include "console/files/config_quality.h"
#include "console/files/config_traffic.h"
#include "console/files/utf16le.h"

namespace quarn::console {
namespace {

std::string WithoutChars(std::string_view text, std::string_view unwanted) {
    std::string kept;
    kept.reserve(text.size());
    for (const char c : text) {
        if (unwanted.find(c) == std::string_view::npos) {
            kept += c;
        }
    }
    return kept;
}

// A CR or LF inside a text (a name reported by an EndPoint, say) would split the record
// and shift every record after it, so texts never carry them into the file.
std::string RecordSafe(std::string_view text) {
    return WithoutChars(text, "\r\n");
}

std::string SamplePart(const ConsoleData& data, int row) {
    const auto& series = data.chart.Series();
    std::string part;
    if (row < 0 || static_cast<std::size_t>(row) >= series.size()) {
        return part;
    }
    for (const ChartPoint& point : series[static_cast<std::size_t>(row)]) {
        if (!part.empty()) {
            part += ' ';
        }
        part += FormatFixed2(point.value);
    }
    return part;
}

std::string JoinTokens(const std::vector<std::string>& tokens) {
    std::string line;
    for (const std::string& token : tokens) {
        if (!line.empty()) {
            line += ' ';
        }
        line += token;
    }
    return line;
}

std::string AllFieldPart(const ConsoleData& data) {
    std::vector<std::string> tokens;
    for (const AllLineField& field : AllLineFields())
        tokens.push_back(field.write(data));
    return JoinTokens(tokens) +
           WithPassLineTokens(AllQualityTokens(data.table.All().figures.quality), kAllQualityTokens,
                              data.settings.passLines);
}

std::string PairFieldPart(const PairRecord& pair, int row) {
    std::vector<std::string> tokens;
    for (const PairLineField& field : PairLineFields())
        tokens.push_back(field.write(pair, row));
    return JoinTokens(tokens) +
           WithTrafficTokens(WithPassLineTokens(PairQualityTokens(pair.figures.quality),
                                                kPairQualityTokens, pair.config.passLines),
                             kPairQualityTokens, pair.config.traffic);
}

}  // namespace

std::string ConfigHeaderBytes() {
    std::string header = "\xFF\xFE";
    header += kConfigIdentifier;
    return header;
}

std::string FormatTimeLine(const ConsoleData& data) {
    return "[" + RecordSafe(data.measuredAt) + "]" + kRecordEnd;
}

std::string FormatEndPointLine(const ConsoleData& data) {
    std::string line = "[";
    for (const EndPointEntry& entry : data.endPoints) {
        line += RecordSafe(entry.address);
        line += kAddressNameSeparator;
        line += RecordSafe(entry.label);
        line += kPartEnd;
    }
    line += "]";
    line += kRecordEnd;
    return line;
}

std::string FormatRowLine(const ConsoleData& data, int row) {
    std::string line = row == 0 ? AllFieldPart(data) : PairFieldPart(data.table[row], row);
    line += kPartEnd;
    line += SamplePart(data, row);
    line += kRecordEnd;
    return line;
}

std::string FormatNameBlock(const ConsoleData& data) {
    if (data.nameLookup.empty()) {
        return {};
    }
    // Only entries that read back as they are written, so that save, open and save give
    // the same file: an address or a name made only of line breaks is empty once they
    // are removed (the reader skips such an entry), and two addresses that differ only
    // in line breaks are one entry on reading. A name that was empty from the start is
    // still written; the EndPoint line gives it back.
    std::map<std::u16string, std::pair<std::string, std::string>> kept;
    for (const auto& [address, name] : data.nameLookup) {
        std::string safeAddress = RecordSafe(address);
        std::string safeName = RecordSafe(name);
        if (safeAddress.empty() || (safeName.empty() && !name.empty())) {
            continue;
        }
        // Keyed by UTF-16 code units, which is not UTF-8 byte order beyond U+FFFF.
        std::u16string key = Utf8ToUtf16(safeAddress);
        kept.insert_or_assign(std::move(key),
                              std::pair{std::move(safeAddress), std::move(safeName)});
    }
    if (kept.empty()) {
        return {};
    }
    std::string block(kNameBlockStart);
    for (const auto& [key, entry] : kept) {
        block += entry.first;
        block += kAddressNameSeparator;
        block += entry.second;
        block += kPartEnd;
    }
    block += kNameBlockEnd;
    return block;
}

void NormaliseRateTexts(MeasurementSettings& settings) {
    settings.windowSizeText = WithoutChars(settings.windowSizeText, " ");
    settings.throughputText = WithoutChars(settings.throughputText, " ");
}

}  // namespace quarn::console
