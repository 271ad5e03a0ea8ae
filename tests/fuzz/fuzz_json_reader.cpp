// Any text read as JSON: the reader refuses or accepts it whole, and what it accepted
// writes back (with this library's own writer) to text that reads as the same value.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "console/records/json_text.h"
#include "console/records/json_value.h"
#include "platform/text_encoding.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using quarn::console::records::JsonValue;
using Kind = JsonValue::Kind;

void Write(std::string& out, const JsonValue& value) {
    switch (value.kind) {
        case Kind::Null:
            out += "null";
            return;
        case Kind::Bool:
            out += value.boolean ? "true" : "false";
            return;
        case Kind::Number:
            quarn::console::records::AppendJsonNumber(out, value.number);
            return;
        case Kind::String:
            quarn::console::records::AppendJsonString(out, value.text);
            return;
        case Kind::Array:
            out += '[';
            for (std::size_t i = 0; i < value.items.size(); ++i) {
                out += i == 0 ? "" : ",";
                Write(out, value.items[i]);
            }
            out += ']';
            return;
        case Kind::Object:
            out += '{';
            for (const auto& [key, member] : value.members) {
                out += out.back() == '{' ? "" : ",";
                quarn::console::records::AppendJsonString(out, key);
                out += ':';
                Write(out, member);
            }
            out += '}';
            return;
    }
}

// Strings read back exactly when they were valid UTF-8; others were made valid once.
bool Same(const JsonValue& a, const JsonValue& b) {
    if (a.kind != b.kind) {
        return false;
    }
    switch (a.kind) {
        case Kind::Null:
            return true;
        case Kind::Bool:
            return a.boolean == b.boolean;
        case Kind::Number:
            return a.number == b.number || (!std::isfinite(a.number) && b.kind == Kind::Null);
        case Kind::String:
            return a.text == b.text;
        case Kind::Array:
            if (a.items.size() != b.items.size()) {
                return false;
            }
            for (std::size_t i = 0; i < a.items.size(); ++i) {
                if (!Same(a.items[i], b.items[i])) {
                    return false;
                }
            }
            return true;
        case Kind::Object:
            if (a.members.size() != b.members.size()) {
                return false;
            }
            for (const auto& [key, member] : a.members) {
                const JsonValue* other = b.Find(key);
                if (other == nullptr || !Same(member, *other)) {
                    return false;
                }
            }
            return true;
    }
    return false;
}

// The writer makes invalid UTF-8 valid, so two such keys may become one.
bool AllValidUtf8(const JsonValue& value) {
    if (value.Is(Kind::String) && !quarn::platform::IsValidUtf8(value.text)) {
        return false;
    }
    for (const JsonValue& item : value.items) {
        if (!AllValidUtf8(item)) {
            return false;
        }
    }
    for (const auto& [key, member] : value.members) {
        if (!quarn::platform::IsValidUtf8(key) || !AllValidUtf8(member)) {
            return false;
        }
    }
    return true;
}

int Depth(const JsonValue& value) {
    int deepest = 0;
    for (const JsonValue& item : value.items) {
        deepest = std::max(deepest, Depth(item));
    }
    for (const auto& [key, member] : value.members) {
        deepest = std::max(deepest, Depth(member));
    }
    return deepest + (value.Is(Kind::Array) || value.Is(Kind::Object) ? 1 : 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto value = quarn::console::records::ParseJson(text);
    if (!value) {
        return 0;
    }
    // 33 levels of containers at most: the same value one array deeper than that is refused.
    FUZZ_CHECK(Depth(*value) <= 33);
    if (Depth(*value) >= 1) {
        const std::string deeper = std::string(33, '[') + std::string(text) + std::string(33, ']');
        FUZZ_CHECK(!quarn::console::records::ParseJson(deeper));
    }
    for (const auto& [key, member] : value->members) {
        FUZZ_CHECK(value->Find(key) == &member);
        FUZZ_CHECK(value->StringAt(key).has_value() == member.Is(Kind::String));
        FUZZ_CHECK(value->BoolAt(key).has_value() == member.Is(Kind::Bool));
        if (const auto integer = value->IntegerAt(key)) {
            FUZZ_CHECK(member.Is(Kind::Number));
        }
    }
    std::string written;
    Write(written, *value);
    const auto back = quarn::console::records::ParseJson(written);
    FUZZ_CHECK(back.has_value());
    if (!AllValidUtf8(*value)) {
        return 0;
    }
    FUZZ_CHECK(Same(*value, *back));
    // Once more, the text is stable.
    std::string again;
    Write(again, *back);
    FUZZ_CHECK(again == written);
    return 0;
}
