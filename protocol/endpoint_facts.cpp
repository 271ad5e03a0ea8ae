#include "protocol/endpoint_facts.h"

namespace quarn::protocol {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool NeedsEscape(unsigned char c) {
    return c <= ' ' || c == '%' || c == '=' || c == 0x7F;
}

std::string Escaped(std::string_view value) {
    std::string out;
    for (const char c : value.substr(0, kMaxFactValue)) {
        const auto byte = static_cast<unsigned char>(c);
        if (NeedsEscape(byte)) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A '%' without two hex digits stays as it is.
std::string Unescaped(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const int high = i + 2 < value.size() && value[i] == '%' ? HexDigit(value[i + 1]) : -1;
        const int low = high >= 0 ? HexDigit(value[i + 2]) : -1;
        if (low >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += value[i];
        }
    }
    return out;
}

}  // namespace

bool IsFactsProbe(std::string_view datagram) {
    return datagram == kFactsProbe;
}

std::string FormatFactsReply(const Facts& facts) {
    std::string reply(kFactsProbe);
    for (const auto& [key, value] : facts)
        reply += " " + key + "=" + Escaped(value);
    return reply;
}

std::optional<Facts> ParseFactsReply(std::string_view datagram) {
    if (!datagram.starts_with(kFactsProbe) || datagram.size() <= kFactsProbe.size() ||
        datagram[kFactsProbe.size()] != ' ') {
        return std::nullopt;
    }
    Facts facts;
    std::string_view rest = datagram.substr(kFactsProbe.size());
    while (!rest.empty() && facts.size() < kMaxFacts) {
        const std::size_t start = rest.find_first_not_of(' ');
        if (start == std::string_view::npos)
            break;
        rest.remove_prefix(start);
        const std::size_t end = std::min(rest.find(' '), rest.size());
        const std::string_view token = rest.substr(0, end);
        rest.remove_prefix(end);
        const std::size_t eq = token.find('=');
        if (eq == std::string_view::npos || eq == 0)
            continue;
        facts.emplace_back(std::string(token.substr(0, eq)), Unescaped(token.substr(eq + 1)));
    }
    return facts;
}

std::optional<std::string> FactValue(const Facts& facts, std::string_view key) {
    for (const auto& [name, value] : facts) {
        if (name == key)
            return value;
    }
    return std::nullopt;
}

std::vector<std::string> TakenOptions(std::string_view value) {
    std::vector<std::string> names;
    while (!value.empty()) {
        const std::size_t comma = std::min(value.find(','), value.size());
        if (comma > 0)
            names.emplace_back(value.substr(0, comma));
        value.remove_prefix(std::min(comma + 1, value.size()));
    }
    return names;
}

}  // namespace quarn::protocol
