#include "address/ip_address.h"

#include <algorithm>
#include <charconv>

#include "address/ipv4.h"

namespace quarn {
namespace {

constexpr size_t kMaxZoneLength = 15;  // an interface name, as Linux limits it

using Words = std::array<uint16_t, 8>;

Words ToWords(const IpAddress::Bytes6& bytes) {
    Words words{};
    for (size_t i = 0; i < words.size(); ++i) {
        words[i] = static_cast<uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
    }
    return words;
}

IpAddress::Bytes6 ToBytes(const Words& words) {
    IpAddress::Bytes6 bytes{};
    for (size_t i = 0; i < words.size(); ++i) {
        bytes[2 * i] = static_cast<uint8_t>(words[i] >> 8);
        bytes[2 * i + 1] = static_cast<uint8_t>(words[i] & 0xFF);
    }
    return bytes;
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool ValidZone(std::string_view zone) {
    return !zone.empty() && zone.size() <= kMaxZoneLength &&
           std::all_of(zone.begin(), zone.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                      c == '.' || c == '_' || c == '-';
           });
}

// A zone means something only for link-scoped addresses.
bool TakesZone(const IpAddress& address) {
    const auto& b = address.V6Bytes();
    const bool linkScopedMulticast = b[0] == 0xFF && (b[1] & 0x0F) <= 2;
    return address.IsLinkLocal() || linkScopedMulticast;
}

struct ParseState {
    Words words{};
    size_t count = 0;
    int gap = -1;  // where "::" stands, in groups
};

// Reads one group, or the dotted tail that ends the text; false on anything malformed.
bool ReadGroup(std::string_view text, size_t& i, ParseState& state, bool& done) {
    const size_t start = i;
    while (i < text.size() && IsHex(text[i])) {
        ++i;
    }
    if (i < text.size() && text[i] == '.') {
        const auto v4 = ParseIpv4(text.substr(start));
        if (!v4 || state.count > 6) {
            return false;
        }
        state.words[state.count++] = static_cast<uint16_t>(*v4 >> 16);
        state.words[state.count++] = static_cast<uint16_t>(*v4 & 0xFFFF);
        done = true;
        return true;
    }
    if (i == start || i - start > 4 || state.count == 8) {
        return false;
    }
    unsigned value = 0;
    std::from_chars(text.data() + start, text.data() + i, value, 16);
    state.words[state.count++] = static_cast<uint16_t>(value);
    done = i == text.size();
    return true;
}

// After a group: one colon, or "::" once; a text may not end in a single colon.
bool ReadSeparator(std::string_view text, size_t& i, ParseState& state, bool& done) {
    if (text[i] != ':' || ++i == text.size()) {
        return false;
    }
    if (text[i] == ':') {
        if (state.gap >= 0) {
            return false;
        }
        state.gap = static_cast<int>(state.count);
        done = ++i == text.size();
    }
    return true;
}

std::optional<Words> Expand(const ParseState& state) {
    if (state.gap < 0) {
        return state.count == 8 ? std::optional<Words>(state.words) : std::nullopt;
    }
    if (state.count == 8) {
        return std::nullopt;  // "::" must stand for at least one group
    }
    Words words{};
    const size_t gap = static_cast<size_t>(state.gap);
    const size_t tail = state.count - gap;
    std::copy_n(state.words.begin(), gap, words.begin());
    std::copy_n(state.words.begin() + gap, tail, words.end() - tail);
    return words;
}

void AppendHex(std::string& text, uint16_t value) {
    char buf[4];
    const auto end = std::to_chars(buf, buf + sizeof buf, value, 16).ptr;
    text.append(buf, end);
}

// The longest run of two or more zero groups, the first of equal ones: {start, length}.
std::pair<size_t, size_t> LongestZeroRun(const Words& words) {
    std::pair<size_t, size_t> best{0, 0};
    for (size_t i = 0; i < words.size();) {
        size_t j = i;
        while (j < words.size() && words[j] == 0) {
            ++j;
        }
        if (j - i > best.second) {
            best = {i, j - i};
        }
        i = j == i ? i + 1 : j;
    }
    return best.second >= 2 ? best : std::pair<size_t, size_t>{0, 0};
}

}  // namespace

IpAddress IpAddress::V4(uint32_t hostOrder) {
    IpAddress address;
    address.v4_ = hostOrder;
    return address;
}

IpAddress IpAddress::V6(const Bytes6& bytes, std::string zone) {
    IpAddress address;
    address.v6_ = true;
    address.bytes_ = bytes;
    address.zone_ = std::move(zone);
    return address;
}

bool IpAddress::IsLinkLocal() const {
    if (!v6_) {
        return (v4_ >> 16) == 0xA9FE;
    }
    return bytes_[0] == 0xFE && (bytes_[1] & 0xC0) == 0x80;
}

bool IpAddress::IsUniqueLocal() const {
    return v6_ && (bytes_[0] & 0xFE) == 0xFC;
}

bool IpAddress::IsLoopback() const {
    if (!v6_) {
        return (v4_ >> 24) == 127;
    }
    return bytes_ == Bytes6{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
}

bool IpAddress::IsMulticast() const {
    return v6_ ? bytes_[0] == 0xFF : (v4_ >> 28) == 0xE;
}

bool IpAddress::IsV4Mapped() const {
    return v6_ &&
           std::all_of(bytes_.begin(), bytes_.begin() + 10, [](uint8_t b) { return b == 0; }) &&
           bytes_[10] == 0xFF && bytes_[11] == 0xFF;
}

IpAddress IpAddress::Unmapped() const {
    if (!IsV4Mapped()) {
        return *this;
    }
    return V4(uint32_t{bytes_[12]} << 24 | uint32_t{bytes_[13]} << 16 | uint32_t{bytes_[14]} << 8 |
              bytes_[15]);
}

std::strong_ordering operator<=>(const IpAddress& a, const IpAddress& b) {
    if (a.v6_ != b.v6_) {
        return a.v6_ ? std::strong_ordering::greater : std::strong_ordering::less;
    }
    if (!a.v6_) {
        return a.v4_ <=> b.v4_;
    }
    if (const auto c = a.bytes_ <=> b.bytes_; c != 0) {
        return c;
    }
    return a.zone_ <=> b.zone_;
}

std::optional<IpAddress::Bytes6> ParseIpv6(std::string_view text) {
    ParseState state;
    size_t i = 0;
    bool done = text.empty();
    if (text.starts_with("::")) {
        state.gap = 0;
        i = 2;
        done = i == text.size();
    } else if (text.starts_with(":")) {
        return std::nullopt;
    }
    while (!done) {
        if (!ReadGroup(text, i, state, done)) {
            return std::nullopt;
        }
        if (!done && !ReadSeparator(text, i, state, done)) {
            return std::nullopt;
        }
    }
    if (text.empty()) {
        return std::nullopt;
    }
    const auto words = Expand(state);
    return words ? std::optional(ToBytes(*words)) : std::nullopt;
}

std::optional<IpAddress> ParseIpAddress(std::string_view text) {
    const bool bracketed = text.size() >= 2 && text.front() == '[' && text.back() == ']';
    if (bracketed) {
        text = text.substr(1, text.size() - 2);
    } else if (const auto v4 = ParseIpv4(text)) {
        return IpAddress::V4(*v4);
    }
    std::string_view zone;
    if (const auto percent = text.find('%'); percent != std::string_view::npos) {
        zone = text.substr(percent + 1);
        text = text.substr(0, percent);
        if (!ValidZone(zone)) {
            return std::nullopt;
        }
    }
    const auto bytes = ParseIpv6(text);
    if (!bytes) {
        return std::nullopt;
    }
    auto address = IpAddress::V6(*bytes, std::string(zone));
    if (!zone.empty() && !TakesZone(address)) {
        return std::nullopt;
    }
    return address;
}

std::string FormatIpv6(const IpAddress::Bytes6& bytes) {
    const Words words = ToWords(bytes);
    std::string text;
    if (IpAddress::V6(bytes).IsV4Mapped()) {
        return "::ffff:" + FormatIpv4(IpAddress::V6(bytes).Unmapped().V4Value());
    }
    const auto [runStart, runLength] = LongestZeroRun(words);
    for (size_t i = 0; i < words.size(); ++i) {
        if (runLength > 0 && i == runStart) {
            text += "::";
            i += runLength - 1;
            continue;
        }
        if (!text.empty() && text.back() != ':') {
            text += ':';
        }
        AppendHex(text, words[i]);
    }
    return text;
}

std::string FormatIpAddress(const IpAddress& address) {
    if (address.IsV4()) {
        return FormatIpv4(address.V4Value());
    }
    std::string text = FormatIpv6(address.V6Bytes());
    if (!address.Zone().empty()) {
        text += '%';
        text += address.Zone();
    }
    return text;
}

IpAddress SourceBlock(const IpAddress& source) {
    const IpAddress address = source.Unmapped();
    if (address.IsV4() || address.IsLinkLocal()) {
        return address;
    }
    IpAddress::Bytes6 prefix = address.V6Bytes();
    std::fill(prefix.begin() + 8, prefix.end(), uint8_t{0});
    return IpAddress::V6(prefix);
}

std::string FormatWithPort(const IpAddress& address, uint16_t port) {
    const std::string host = FormatIpAddress(address);
    const std::string portText = std::to_string(port);
    return address.IsV4() ? host + ':' + portText : '[' + host + "]:" + portText;
}

bool SameAddressText(std::string_view a, std::string_view b) {
    if (a == b)
        return true;
    const std::optional<IpAddress> left = ParseIpAddress(a);
    const std::optional<IpAddress> right = ParseIpAddress(b);
    return left && right && *left == *right;
}

bool IsIpv6LinkLocalText(std::string_view text) {
    const std::optional<IpAddress> address = ParseIpAddress(text);
    return address && address->IsV6() && address->IsLinkLocal();
}

}  // namespace quarn
