#pragma once

#include <string>
#include <string_view>

namespace quarn::console::records {

// Appends `text` as a JSON string literal. Valid UTF-8 passes through; control characters
// are escaped; a byte that is not part of valid UTF-8 (names come from the network)
// becomes U+FFFD, so every line stays valid JSON.
void AppendJsonString(std::string& out, std::string_view text);

// Appends the shortest text that reads back as the same double; JSON has no NaN or
// infinity, so those are written as null.
void AppendJsonNumber(std::string& out, double value);

// Builds one JSON object on a single line, keys in the order they are added.
class JsonObject {
  public:
    JsonObject& String(std::string_view key, std::string_view value);
    JsonObject& Number(std::string_view key, double value);
    JsonObject& Integer(std::string_view key, long long value);
    JsonObject& Bool(std::string_view key, bool value);
    // `json` must already be encoded (an array or object built elsewhere).
    JsonObject& Raw(std::string_view key, std::string_view json);
    // The object's text, without a line end.
    std::string Text() const { return text_ + "}"; }

  private:
    void Key(std::string_view key);

    std::string text_ = "{";
};

}  // namespace quarn::console::records
