#include "platform/utf8.h"

namespace quarn::platform {
namespace {

struct LeadRule {
    size_t length;
    unsigned char secondLow;
    unsigned char secondHigh;
};

// Well-formed byte sequences: the lead byte fixes the length and the second byte's range.
bool RuleFor(unsigned char lead, LeadRule& rule) {
    if (lead >= 0xC2 && lead <= 0xDF) {
        rule = {2, 0x80, 0xBF};
    } else if (lead == 0xE0) {
        rule = {3, 0xA0, 0xBF};
    } else if (lead == 0xED) {
        rule = {3, 0x80, 0x9F};
    } else if (lead >= 0xE1 && lead <= 0xEF) {
        rule = {3, 0x80, 0xBF};
    } else if (lead == 0xF0) {
        rule = {4, 0x90, 0xBF};
    } else if (lead >= 0xF1 && lead <= 0xF3) {
        rule = {4, 0x80, 0xBF};
    } else if (lead == 0xF4) {
        rule = {4, 0x80, 0x8F};
    } else {
        return false;
    }
    return true;
}

}  // namespace

Utf8Step DecodeUtf8(std::string_view text, size_t pos) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return {lead, 1, true};
    }
    LeadRule rule{};
    if (!RuleFor(lead, rule)) {
        return {0, 1, false};
    }
    char32_t cp = lead & (0x7F >> rule.length);
    for (size_t i = 1; i < rule.length; ++i) {
        const unsigned char low = i == 1 ? rule.secondLow : 0x80;
        const unsigned char high = i == 1 ? rule.secondHigh : 0xBF;
        if (pos + i >= text.size() || byte(i) < low || byte(i) > high) {
            return {0, i, false};
        }
        cp = (cp << 6) | (byte(i) & 0x3F);
    }
    return {cp, rule.length, true};
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace quarn::platform
