#include "console/core/unauthenticated_note.h"

#include <algorithm>

namespace quarn::console {
namespace {

constexpr std::string_view kPrefix = "Quarn: unauthenticated: ";
constexpr std::string_view kSuffix = " has no lab key";
// A dotted IPv4 address is at most this long; anything longer is not such a line.
constexpr std::size_t kMaxAddress = 15;
constexpr std::size_t kMaxNoted = 2;

}  // namespace

std::string UnauthenticatedLine(std::string_view address) {
    return std::string(kPrefix).append(address).append(kSuffix);
}

std::optional<std::string> UnauthenticatedAddress(std::string_view line) {
    if (!line.starts_with(kPrefix) || !line.ends_with(kSuffix))
        return std::nullopt;
    line.remove_prefix(kPrefix.size());
    line.remove_suffix(kSuffix.size());
    if (line.empty() || line.size() > kMaxAddress)
        return std::nullopt;
    return std::string(line);
}

void NoteUnauthenticated(PairRunState& run, std::string address) {
    std::vector<std::string>& noted = run.unauthenticated;
    if (noted.size() >= kMaxNoted || std::find(noted.begin(), noted.end(), address) != noted.end())
        return;
    noted.push_back(std::move(address));
}

std::vector<std::string> UnauthenticatedNoteLines(const PairRecord& pair) {
    std::vector<std::string> lines;
    for (const std::string& address : pair.run.unauthenticated)
        lines.push_back("Ran unauthenticated: " + address + " has no lab key.");
    return lines;
}

}  // namespace quarn::console
