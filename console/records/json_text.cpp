#include "console/records/json_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace quarn::console::records {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the valid UTF-8 sequence starting at text[i], or 0 when it is not one
// (overlong forms, surrogates and code points above U+10FFFF included).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
    const std::uint8_t lead = byte(i);
    std::size_t length = 0;
    std::uint32_t min = 0;
    std::uint32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, cp = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, cp = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, cp = lead & 0x07u;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0u) != 0x80u)
            return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

void AppendControl(std::string& out, char c) {
    switch (c) {
        case '\n':
            out += "\\n";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\t':
            out += "\\t";
            return;
        case '\b':
            out += "\\b";
            return;
        case '\f':
            out += "\\f";
            return;
        default:
            break;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\u00";
    out += kHex[(static_cast<unsigned char>(c) >> 4) & 0xF];
    out += kHex[static_cast<unsigned char>(c) & 0xF];
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += c;
            } else if (u < 0x20) {
                AppendControl(out, c);
            } else {
                out += c;
            }
            ++i;
            continue;
        }
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            out += kReplacement;
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    out += '"';
}

void AppendJsonNumber(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void JsonObject::Key(std::string_view key) {
    if (text_.size() > 1)
        text_ += ',';
    AppendJsonString(text_, key);
    text_ += ':';
}

JsonObject& JsonObject::String(std::string_view key, std::string_view value) {
    Key(key);
    AppendJsonString(text_, value);
    return *this;
}

JsonObject& JsonObject::Number(std::string_view key, double value) {
    Key(key);
    AppendJsonNumber(text_, value);
    return *this;
}

JsonObject& JsonObject::Integer(std::string_view key, long long value) {
    Key(key);
    text_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::Bool(std::string_view key, bool value) {
    Key(key);
    text_ += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::Raw(std::string_view key, std::string_view json) {
    Key(key);
    text_ += json;
    return *this;
}

}  // namespace quarn::console::records
