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

}  // namespace quarn::platform
