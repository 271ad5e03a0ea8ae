#include "console/files/config_fields.h"

#include <array>
#include <string_view>

#include "console/core/number_text.h"
#include "console/files/config_numbers.h"

namespace quarn::console {
namespace {

// Each field is written as exactly one token: an empty one (an address typed as blanks)
// would make the reader take every later field from its neighbour.
std::string OneToken(std::string_view text, std::string_view emptyAs) {
    std::string token;
    token.reserve(text.size());
    for (const char c : text) {
        if (c != '\r' && c != '\n' && c != ' ')
            token += c;
    }
    return token.empty() ? std::string(emptyAs) : token;
}

std::string FigureToken(std::string_view text) {
    return OneToken(text, "0.00");
}
std::string AddressToken(std::string_view text) {
    return OneToken(text, "-");
}
std::string RateToken(std::string_view text) {
    return OneToken(text, "0");
}
std::string Flag(bool on) {
    return on ? "1" : "0";
}

void ReadFigure(const std::string& token, std::string& text, float& value) {
    text = token;
    value = RealToken(text);
}

// A rate of 0 is what the writer puts for an empty box.
std::string RateOfToken(const std::string& token) {
    return token == "0" ? std::string() : token;
}

std::string StatusTextOfRead(int state) {
    switch (state) {
        case 0:
            return "Ready";
        case 2:
            return "Error";
        case 3:
            return "Stopped";
        case 5:
            return "Inactive";
        default:
            return "Done";  // a run that was saved while going on counts as done
    }
}

void ReadState(const std::string& token, PairRecord& pair) {
    const int state = LeadingInt(token);
    pair.figures.state = static_cast<PairState>(state);
    pair.figures.statusText = StatusTextOfRead(state);
    if (state == static_cast<int>(PairState::Inactive))
        pair.config.active = false;
}

PairRecord& All(ConsoleData& data) {
    return data.table.All();
}
const PairRecord& All(const ConsoleData& data) {
    return data.table.All();
}

// The word "All" is read past; the rows are known by position.
const std::array<AllLineField, 12> kAllLine = {{
    {[](const ConsoleData&) { return std::string("All"); },
     [](const std::string&, ConsoleData&) {}},
    {[](const ConsoleData& d) { return std::to_string(All(d).figures.count); },
     [](const std::string& t, ConsoleData& d) {
         All(d).figures.countText = t;
         All(d).figures.count = LeadingInt(t);
     }},
    {[](const ConsoleData& d) { return std::to_string(LeadingInt(d.settings.durationText)); },
     [](const std::string& t, ConsoleData& d) { d.settings.durationText = t; }},
    {[](const ConsoleData& d) { return Flag(All(d).config.showTotal); },
     [](const std::string& t, ConsoleData& d) { All(d).config.showTotal = t == "1"; }},
    {[](const ConsoleData& d) { return std::to_string(d.ticks); },
     [](const std::string& t, ConsoleData& d) { d.ticks = LeadingInt(t); }},
    {[](const ConsoleData& d) { return FigureToken(All(d).figures.averageText); },
     [](const std::string& t, ConsoleData& d) {
         ReadFigure(t, All(d).figures.averageText, All(d).figures.average);
     }},
    {[](const ConsoleData& d) { return FigureToken(All(d).figures.minText); },
     [](const std::string& t, ConsoleData& d) {
         ReadFigure(t, All(d).figures.minText, All(d).figures.min);
     }},
    {[](const ConsoleData& d) { return FigureToken(All(d).figures.maxText); },
     [](const std::string& t, ConsoleData& d) {
         ReadFigure(t, All(d).figures.maxText, All(d).figures.max);
     }},
    {[](const ConsoleData& d) { return FigureToken(All(d).figures.currentText); },
     [](const std::string& t, ConsoleData& d) {
         ReadFigure(t, All(d).figures.currentText, All(d).figures.current);
     }},
    // Anything but 1 is no protocol the Console knows: TCP.
    {[](const ConsoleData& d) { return Flag(d.settings.protocol == Protocol::Udp); },
     [](const std::string& t, ConsoleData& d) {
         d.settings.protocol = LeadingInt(t) == 1 ? Protocol::Udp : Protocol::Tcp;
     }},
    {[](const ConsoleData& d) { return RateToken(d.settings.windowSizeText); },
     [](const std::string& t, ConsoleData& d) { d.settings.windowSizeText = RateOfToken(t); }},
    {[](const ConsoleData& d) { return RateToken(d.settings.throughputText); },
     [](const std::string& t, ConsoleData& d) { d.settings.throughputText = RateOfToken(t); }},
}};

// The name is read past: rows are named by position.
const std::array<PairLineField, 11> kPairLine = {{
    {[](const PairRecord& p, int row) { return OneToken(p.name, "Pair" + std::to_string(row)); },
     [](const std::string&, PairRecord&) {}},
    {[](const PairRecord& p, int) { return AddressToken(p.config.endpoint1); },
     [](const std::string& t, PairRecord& p) { p.config.endpoint1 = t; }},
    {[](const PairRecord& p, int) { return AddressToken(p.config.endpoint2); },
     [](const std::string& t, PairRecord& p) { p.config.endpoint2 = t; }},
    {[](const PairRecord& p, int) { return std::to_string(static_cast<int>(p.figures.state)); },
     ReadState},
    {[](const PairRecord& p, int) { return std::to_string(p.figures.count); },
     [](const std::string& t, PairRecord& p) {
         p.figures.countText = t;
         p.figures.count = LeadingInt(t);
     }},
    {[](const PairRecord& p, int) { return std::to_string(p.config.parallel); },
     [](const std::string& t, PairRecord& p) { p.config.parallel = LeadingInt(t); }},
    {[](const PairRecord& p, int) { return FigureToken(p.figures.averageText); },
     [](const std::string& t, PairRecord& p) {
         ReadFigure(t, p.figures.averageText, p.figures.average);
     }},
    {[](const PairRecord& p, int) { return FigureToken(p.figures.minText); },
     [](const std::string& t, PairRecord& p) { ReadFigure(t, p.figures.minText, p.figures.min); }},
    {[](const PairRecord& p, int) { return FigureToken(p.figures.maxText); },
     [](const std::string& t, PairRecord& p) { ReadFigure(t, p.figures.maxText, p.figures.max); }},
    {[](const PairRecord& p, int) { return Flag(p.config.showAddress); },
     [](const std::string& t, PairRecord& p) { p.config.showAddress = LeadingInt(t) == 1; }},
    {[](const PairRecord& p, int) { return FigureToken(p.figures.currentText); },
     [](const std::string& t, PairRecord& p) {
         ReadFigure(t, p.figures.currentText, p.figures.current);
     }},
}};

}  // namespace

std::span<const AllLineField> AllLineFields() {
    return kAllLine;
}

std::span<const PairLineField> PairLineFields() {
    return kPairLine;
}

}  // namespace quarn::console
