#include "console/files/config_parser.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>

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

using Text = std::u16string_view;

// Walks the non-empty pieces of a text between separators, so a run of separators counts
// as one and nothing is collected that the reader does not use.
class Pieces {
  public:
    Pieces(Text text, char16_t separator) : rest_(text), separator_(separator) {}

    bool Next(Text& piece) {
        while (!rest_.empty()) {
            const std::size_t end = std::min(rest_.find(separator_), rest_.size());
            piece = rest_.substr(0, end);
            rest_.remove_prefix(std::min(end + 1, rest_.size()));
            if (!piece.empty()) {
                return true;
            }
        }
        return false;
    }

  private:
    Text rest_;
    char16_t separator_;
};

std::string Utf8(Text text) {
    return Utf16ToUtf8(text);
}

std::u16string WithoutBrackets(Text text) {
    std::u16string kept;
    kept.reserve(text.size());
    for (const char16_t c : text) {
        if (c != u'[' && c != u']') {
            kept += c;
        }
    }
    return kept;
}

// Splits "address<quote>rest" at the first quotation mark; false when there is none.
bool SplitAtQuote(Text piece, Text& address, Text& rest) {
    const std::size_t quote = piece.find(static_cast<char16_t>(kAddressNameSeparator));
    if (quote == Text::npos) {
        return false;
    }
    address = piece.substr(0, quote);
    rest = piece.substr(quote + 1);
    return true;
}

// Reads the name block and returns the text before it, so later steps never see it.
// `complete` becomes false for a block that was cut off before its end.
Text ReadNameBlock(Text text, std::map<std::string, std::string>& lookup, bool& complete) {
    const std::size_t start = text.find(kNameBlockStart16);
    if (start == Text::npos) {
        return text;
    }
    const std::size_t end = text.find(kNameBlockEnd16);
    complete = end != Text::npos && start < end;
    if (complete) {
        const std::size_t bodyStart = start + kNameBlockStart16.size();
        Pieces entries(text.substr(bodyStart, end - bodyStart), kPartEnd);
        Text entry, address, name;
        while (entries.Next(entry)) {
            if (SplitAtQuote(entry, address, name) && !address.empty() && !name.empty()) {
                lookup[Utf8(address)] = Utf8(name);
            }
        }
    }
    return text.substr(0, start);
}

void ReadTimeLine(Text record, ConsoleData& data) {
    if (record.size() > 2) {
        data.measuredAt = Utf8(WithoutBrackets(record));
    }
}

void ReadEndPointLine(Text record, ConsoleData& data) {
    if (record.size() <= 2) {
        return;
    }
    const std::u16string body = WithoutBrackets(record);
    Pieces entries(body, kPartEnd);
    Text entry, address, label;
    while (entries.Next(entry) && data.endPoints.size() < kMaxEndPoints) {
        if (!SplitAtQuote(entry, address, label)) {
            continue;
        }
        EndPointEntry endPoint;
        endPoint.address = Utf8(address);
        endPoint.label = Utf8(label);
        // The label is "(" followed by the name; the lists draw the name, as after a search.
        endPoint.name = Utf8(label.substr(std::min<std::size_t>(1, label.size())));
        data.nameLookup[endPoint.address] = endPoint.name;
        data.endPoints.push_back(std::move(endPoint));
    }
}

void ApplyAllToken(std::size_t position, Text token, ConsoleData& data) {
    const auto fields = AllLineFields();
    if (position <= fields.size())
        fields[position - 1].read(Utf8(token), data);
    else if (position > fields.size() + kAllQualityTokens)
        ApplyPassLineFileToken(Utf8(token), data.settings.passLines);
    else
        ApplyAllQualityToken(static_cast<int>(position - fields.size() - 1), Utf8(token),
                             data.table.All().figures.quality);
}

void ApplyPairToken(std::size_t position, Text token, PairRecord& pair) {
    const auto fields = PairLineFields();
    if (position <= fields.size())
        fields[position - 1].read(Utf8(token), pair);
    else if (position > fields.size() + kPairQualityTokens) {
        ApplyPassLineFileToken(Utf8(token), pair.config.passLines);
        ApplyTrafficFileToken(Utf8(token), pair.config.traffic);
    } else
        ApplyPairQualityToken(static_cast<int>(position - fields.size() - 1), Utf8(token),
                              pair.figures.quality);
}

// Calls apply(position, token) for tokens 1..lastPosition of a field part.
template <typename Apply>
void ForEachToken(Text fieldPart, std::size_t lastPosition, Apply apply) {
    Pieces tokens(fieldPart, u' ');
    Text token;
    for (std::size_t position = 1; position <= lastPosition && tokens.Next(token); ++position) {
        apply(position, token);
    }
}

ChartSeries ReadSamples(Text samplePart) {
    ChartSeries series;
    Pieces tokens(samplePart, u' ');
    Text token;
    while (tokens.Next(token)) {
        series.push_back(ChartPoint{RealToken(Utf8(token))});
    }
    return series;
}

struct RowLine {
    Text fieldPart;
    Text samplePart;
};

RowLine SplitRowLine(Text record) {
    const std::size_t fieldEnd = std::min(record.find(kPartEnd), record.size());
    const Text afterField = record.substr(std::min(fieldEnd + 1, record.size()));
    return {record.substr(0, fieldEnd), afterField.substr(0, afterField.find(kPartEnd))};
}

// Returns the number of row lines read (the All line included).
int ReadRowLines(Pieces& records, ConsoleData& data) {
    const std::size_t allFields = AllLineFields().size() + kAllQualityTokens + kMaxPassLineTokens;
    const std::size_t pairFields =
        PairLineFields().size() + kPairQualityTokens + kMaxPassLineTokens + kMaxTrafficTokens;
    float peakSingle = 0.0f;
    Text record;
    int line = 0;
    for (; records.Next(record); ++line) {
        if (line > 0 && data.table.PairCount() >= PairTable::kMaxPairs) {
            break;  // later pair lines are ignored
        }
        const RowLine row = SplitRowLine(record);
        if (line == 0) {
            ForEachToken(row.fieldPart, allFields, [&](std::size_t position, Text token) {
                ApplyAllToken(position, token, data);
            });
        } else {
            PairRecord pair;
            ForEachToken(row.fieldPart, pairFields, [&](std::size_t position, Text token) {
                ApplyPairToken(position, token, pair);
            });
            peakSingle = std::max(peakSingle, pair.figures.max);
            data.table.AppendPair(std::move(pair));
        }
        data.chart.AppendSeries(ReadSamples(row.samplePart));
    }
    data.table.All().figures.peakSingle = peakSingle;
    return line;
}

}  // namespace

bool ApplyConfigText(Text text, ConsoleData& data) {
    bool complete = true;
    text = ReadNameBlock(text, data.nameLookup, complete);
    // Every record before the name block ends with its LF.
    complete = complete && !text.empty() && text.back() == kRecordEnd;
    if (!complete) {
        // CRs at the cut are the start of a name block, not a pair line of their own.
        while (!text.empty() && text.back() == kPartEnd) {
            text.remove_suffix(1);
        }
    }
    Pieces records(text, kRecordEnd);
    Text record;
    if (records.Next(record)) {
        ReadTimeLine(record, data);
    }
    if (records.Next(record)) {
        ReadEndPointLine(record, data);
    }
    const int rowLines = ReadRowLines(records, data);
    return complete && rowLines > 0;
}

}  // namespace quarn::console
