#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarn::console::records {

// A parsed JSON value: enough of JSON to read back what this library writes, strict about
// syntax so that a damaged line is refused rather than half read.
class JsonValue {
  public:
    enum class Kind { Null, Bool, Number, String, Array, Object };

    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0.0;
    std::string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue, std::less<>> members;

    bool Is(Kind k) const { return kind == k; }
    // Member lookups; nullopt when the member is missing or of another kind.
    const JsonValue* Find(std::string_view key) const;
    std::optional<std::string> StringAt(std::string_view key) const;
    std::optional<double> NumberAt(std::string_view key) const;
    std::optional<long long> IntegerAt(std::string_view key) const;
    std::optional<bool> BoolAt(std::string_view key) const;
};

// Parses one complete JSON text (surrounding whitespace allowed); nullopt on any error,
// trailing garbage or nesting deeper than 32.
std::optional<JsonValue> ParseJson(std::string_view text);

}  // namespace quarn::console::records
