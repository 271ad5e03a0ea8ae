#include "platform/port_table.h"

#include <charconv>
#include <initializer_list>
#include <optional>
#include <string>

#include "platform/file_text.h"

namespace quarn::platform {
namespace {

// Kernel TCP states that no longer hold a port.
constexpr unsigned kTcpTimeWait = 0x06;
constexpr unsigned kTcpClose = 0x07;

std::string_view NextField(std::string_view& line) {
    const size_t start = line.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        line = {};
        return {};
    }
    line.remove_prefix(start);
    const size_t end = line.find(' ');
    const std::string_view field = line.substr(0, end);
    line.remove_prefix(end == std::string_view::npos ? line.size() : end);
    return field;
}

std::optional<unsigned> ParseHex(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

struct Row {
    unsigned port;
    unsigned state;
};

// "  0: 0100007F:1389 00000000:0000 0A ..." (tcp6 has a 32-digit address).
std::optional<Row> ParseRow(std::string_view line) {
    const std::string_view slot = NextField(line);
    const std::string_view local = NextField(line);
    NextField(line);  // remote address
    const std::string_view state = NextField(line);
    const size_t colon = local.rfind(':');
    if (slot.empty() || slot.back() != ':' || colon == std::string_view::npos) {
        return std::nullopt;
    }
    const std::optional<unsigned> port = ParseHex(local.substr(colon + 1));
    const std::optional<unsigned> st = ParseHex(state);
    if (!port || !st || *port > 0xFFFF) {
        return std::nullopt;
    }
    return Row{*port, *st};
}

template <typename Keep>
std::set<uint16_t> ParseTable(std::string_view text, uint16_t above, Keep keep) {
    std::set<uint16_t> ports;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const std::optional<Row> row = ParseRow(line);
        if (row && row->port > above && keep(row->state)) {
            ports.insert(static_cast<uint16_t>(row->port));
        }
    }
    return ports;
}

std::set<uint16_t> FromFiles(std::initializer_list<const char*> paths, uint16_t above,
                             std::set<uint16_t> (*parse)(std::string_view, uint16_t)) {
    std::set<uint16_t> ports;
    for (const char* path : paths) {
        if (const std::optional<std::string> text = ReadFileText(path)) {
            ports.merge(parse(*text, above));
        }
    }
    return ports;
}

}  // namespace

std::set<uint16_t> ParseProcNetTcp(std::string_view text, uint16_t above) {
    return ParseTable(text, above,
                      [](unsigned state) { return state != kTcpTimeWait && state != kTcpClose; });
}

std::set<uint16_t> ParseProcNetUdp(std::string_view text, uint16_t above) {
    return ParseTable(text, above, [](unsigned) { return true; });
}

std::set<uint16_t> BusyTcpPorts(uint16_t above) {
    return FromFiles({"/proc/net/tcp", "/proc/net/tcp6"}, above, ParseProcNetTcp);
}

std::set<uint16_t> BusyUdpPorts(uint16_t above) {
    return FromFiles({"/proc/net/udp", "/proc/net/udp6"}, above, ParseProcNetUdp);
}

}  // namespace quarn::platform
