#include "console/records/json_value.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "platform/utf8.h"

namespace quarn::console::records {
namespace {

constexpr int kMaxDepth = 32;

class Parser {
  public:
    explicit Parser(std::string_view text) : text_(text) {}

    bool Document(JsonValue& out) {
        SkipSpace();
        if (!Value(out, 0))
            return false;
        SkipSpace();
        return pos_ == text_.size();
    }

  private:
    bool Value(JsonValue& out, int depth) {
        if (depth > kMaxDepth || pos_ >= text_.size())
            return false;
        switch (text_[pos_]) {
            case '{':
                return Object(out, depth);
            case '[':
                return Array(out, depth);
            case '"':
                out.kind = JsonValue::Kind::String;
                return String(out.text);
            case 't':
                out.kind = JsonValue::Kind::Bool;
                out.boolean = true;
                return Literal("true");
            case 'f':
                out.kind = JsonValue::Kind::Bool;
                return Literal("false");
            case 'n':
                return Literal("null");
            default:
                return Number(out);
        }
    }

    bool Object(JsonValue& out, int depth) {
        out.kind = JsonValue::Kind::Object;
        ++pos_;
        SkipSpace();
        if (Take('}'))
            return true;
        while (true) {
            SkipSpace();
            std::string key;
            if (pos_ >= text_.size() || text_[pos_] != '"' || !String(key))
                return false;
            SkipSpace();
            if (!Take(':'))
                return false;
            SkipSpace();
            JsonValue member;
            if (!Value(member, depth + 1))
                return false;
            out.members.insert_or_assign(std::move(key), std::move(member));
            SkipSpace();
            if (Take('}'))
                return true;
            if (!Take(','))
                return false;
        }
    }

    bool Array(JsonValue& out, int depth) {
        out.kind = JsonValue::Kind::Array;
        ++pos_;
        SkipSpace();
        if (Take(']'))
            return true;
        while (true) {
            SkipSpace();
            JsonValue item;
            if (!Value(item, depth + 1))
                return false;
            out.items.push_back(std::move(item));
            SkipSpace();
            if (Take(']'))
                return true;
            if (!Take(','))
                return false;
        }
    }

    bool String(std::string& out) {
        ++pos_;  // the opening quote
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20)
                return false;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size() || !Escape(out))
                return false;
        }
        return false;
    }

    bool Escape(std::string& out) {
        const char c = text_[pos_++];
        switch (c) {
            case '"':
            case '\\':
            case '/':
                out += c;
                return true;
            case 'b':
                out += '\b';
                return true;
            case 'f':
                out += '\f';
                return true;
            case 'n':
                out += '\n';
                return true;
            case 'r':
                out += '\r';
                return true;
            case 't':
                out += '\t';
                return true;
            case 'u':
                return Unicode(out);
            default:
                return false;
        }
    }

    bool Hex4(std::uint32_t& value) {
        if (pos_ + 4 > text_.size())
            return false;
        const auto result =
            std::from_chars(text_.data() + pos_, text_.data() + pos_ + 4, value, 16);
        if (result.ptr != text_.data() + pos_ + 4)
            return false;
        pos_ += 4;
        return true;
    }

    bool Unicode(std::string& out) {
        std::uint32_t cp = 0;
        if (!Hex4(cp))
            return false;
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            std::uint32_t low = 0;
            if (!Literal("\\u") || !Hex4(low) || low < 0xDC00 || low > 0xDFFF)
                return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return false;
        }
        platform::AppendUtf8(out, static_cast<char32_t>(cp));
        return true;
    }

    // JSON's number grammar is stricter than from_chars: no leading '+', no leading zeros,
    // digits on both sides of the point.
    bool Number(JsonValue& out) {
        const std::size_t start = pos_;
        Take('-');
        if (Take('0')) {
        } else if (!Digits()) {
            return false;
        }
        if (Take('.') && !Digits())
            return false;
        if (Take('e') || Take('E')) {
            if (!Take('+'))
                Take('-');
            if (!Digits())
                return false;
        }
        out.kind = JsonValue::Kind::Number;
        const auto result = std::from_chars(text_.data() + start, text_.data() + pos_, out.number);
        return result.ec == std::errc() && std::isfinite(out.number);
    }

    bool Digits() {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9')
            ++pos_;
        return pos_ > start;
    }

    bool Literal(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word)
            return false;
        pos_ += word.size();
        return true;
    }

    bool Take(char c) {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    void SkipSpace() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                       text_[pos_] == '\n' || text_[pos_] == '\r'))
            ++pos_;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

const JsonValue* JsonValue::Find(std::string_view key) const {
    const auto it = members.find(key);
    return it == members.end() ? nullptr : &it->second;
}

std::optional<std::string> JsonValue::StringAt(std::string_view key) const {
    const JsonValue* v = Find(key);
    if (v == nullptr || !v->Is(Kind::String))
        return std::nullopt;
    return v->text;
}

std::optional<double> JsonValue::NumberAt(std::string_view key) const {
    const JsonValue* v = Find(key);
    if (v == nullptr || !v->Is(Kind::Number))
        return std::nullopt;
    return v->number;
}

std::optional<long long> JsonValue::IntegerAt(std::string_view key) const {
    const std::optional<double> n = NumberAt(key);
    if (!n || *n != std::floor(*n) || std::fabs(*n) > 9.0e15)
        return std::nullopt;
    return static_cast<long long>(*n);
}

std::optional<bool> JsonValue::BoolAt(std::string_view key) const {
    const JsonValue* v = Find(key);
    if (v == nullptr || !v->Is(Kind::Bool))
        return std::nullopt;
    return v->boolean;
}

std::optional<JsonValue> ParseJson(std::string_view text) {
    JsonValue value;
    Parser parser(text);
    if (!parser.Document(value))
        return std::nullopt;
    return value;
}

}  // namespace quarn::console::records
