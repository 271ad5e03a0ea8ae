#include "platform/text_encoding.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstring>

#include "platform/utf8.h"

namespace quarn::platform {
namespace {

// The locale's character set, with the C locale's ASCII counted as UTF-8.
std::string LocaleCodeset() {
    const char* codeset = nl_langinfo(CODESET);
    if (codeset == nullptr || *codeset == '\0' || std::strcmp(codeset, "ANSI_X3.4-1968") == 0 ||
        std::strcmp(codeset, "ASCII") == 0 || std::strcmp(codeset, "UTF-8") == 0 ||
        std::strcmp(codeset, "utf8") == 0) {
        return "UTF-8";
    }
    return codeset;
}

// UTF-8 with every invalid sequence replaced by '?'.
std::string SanitizeUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const Utf8Step step = DecodeUtf8(text, pos);
        if (step.valid) {
            out.append(text.substr(pos, step.length));
        } else {
            out += '?';
        }
        pos += step.length;
    }
    return out;
}

class Converter {
  public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Converter() {
        if (Valid()) {
            iconv_close(handle_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // Converts everything; an unconvertible input unit becomes '?' and is skipped, its
    // length given by skipLength.
    template <typename SkipLength>
    std::string Run(std::string_view input, SkipLength skipLength) {
        std::string out;
        char buffer[1024];
        size_t pos = 0;
        while (pos < input.size()) {
            char* in = const_cast<char*>(input.data() + pos);
            size_t inLeft = input.size() - pos;
            char* outPtr = buffer;
            size_t outLeft = sizeof buffer;
            const size_t result = iconv(handle_, &in, &inLeft, &outPtr, &outLeft);
            const int error = errno;
            out.append(buffer, static_cast<size_t>(outPtr - buffer));
            pos = input.size() - inLeft;
            if (result != static_cast<size_t>(-1) || error == E2BIG) {
                continue;
            }
            // EILSEQ or EINVAL (truncated sequence at the end).
            iconv(handle_, nullptr, nullptr, nullptr, nullptr);
            out += '?';
            pos += skipLength(input, pos);
        }
        return out;
    }

  private:
    iconv_t handle_;
};

size_t SkipOneByte(std::string_view, size_t) {
    return 1;
}

size_t SkipUtf8Sequence(std::string_view text, size_t pos) {
    return DecodeUtf8(text, pos).length;
}

std::string Convert(std::string_view text, const char* to, const char* from,
                    size_t (*skipLength)(std::string_view, size_t)) {
    Converter converter(to, from);
    if (!converter.Valid()) {
        return SanitizeUtf8(text);
    }
    return converter.Run(text, skipLength);
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

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::string AnsiToUtf8(std::string_view text) {
    const std::string codeset = LocaleCodeset();
    if (codeset == "UTF-8") {
        return SanitizeUtf8(text);
    }
    return Convert(text, "UTF-8", codeset.c_str(), SkipOneByte);
}

std::string Utf8ToAnsi(std::string_view text) {
    const std::string codeset = LocaleCodeset();
    if (codeset == "UTF-8") {
        return SanitizeUtf8(text);
    }
    return Convert(text, codeset.c_str(), "UTF-8", SkipUtf8Sequence);
}

std::optional<std::string> ToUtf8Strict(std::string_view text, const char* codeset) {
    Converter converter("UTF-8", codeset);
    if (!converter.Valid()) {
        return std::nullopt;
    }
    bool failed = false;
    std::string out = converter.Run(text, [&failed](std::string_view input, size_t pos) {
        failed = true;
        return input.size() - pos;  // the rest: nothing more to convert
    });
    if (failed) {
        return std::nullopt;
    }
    return out;
}

std::optional<std::string> AnsiToUtf8Strict(std::string_view text) {
    const std::string codeset = LocaleCodeset();
    if (codeset == "UTF-8") {
        return IsValidUtf8(text) ? std::optional<std::string>(text) : std::nullopt;
    }
    return ToUtf8Strict(text, codeset.c_str());
}

bool IsValidUtf8(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size()) {
        const Utf8Step step = DecodeUtf8(text, pos);
        if (!step.valid) {
            return false;
        }
        pos += step.length;
    }
    return true;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const Utf8Step step = DecodeUtf8(text, pos);
        const char32_t cp = step.valid ? step.codePoint : kReplacement;
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        pos += step.length;
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            AppendUtf8(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

}  // namespace quarn::platform
