#include "console/core/pair_notes.h"

#include "console/core/unauthenticated_note.h"

namespace quarn::console {
namespace {

const char* ProtocolName(bool udp) {
    return udp ? "UDP" : "TCP";
}

}  // namespace

std::string MeasuredWith(const PairRecord& pair, bool udpSelected) {
    if (pair.figures.count <= 0 || (pair.run.protocol == Protocol::Udp) == udpSelected) {
        return {};
    }
    return ProtocolName((pair.run.protocol == Protocol::Udp));
}

std::string MeasuredWith(const PairTable& table, bool udpSelected) {
    for (const PairRecord& pair : table.Pairs()) {
        std::string measured = MeasuredWith(pair, udpSelected);
        if (!measured.empty()) {
            return measured;
        }
    }
    return {};
}

std::vector<std::string> PairNoteLines(const PairRecord& pair, bool udpSelected) {
    std::vector<std::string> lines;
    const std::string measured = MeasuredWith(pair, udpSelected);
    if (!measured.empty()) {
        lines.push_back("Figures measured with " + measured + "; " + ProtocolName(udpSelected) +
                        " is selected for the next run.");
    }
    if (pair.run.failure && pair.figures.state == PairState::Error) {
        for (std::string& line : FailureLines(*pair.run.failure)) {
            lines.push_back(std::move(line));
        }
    }
    for (std::string& line : UnauthenticatedNoteLines(pair))
        lines.push_back(std::move(line));
    return lines;
}

}  // namespace quarn::console
