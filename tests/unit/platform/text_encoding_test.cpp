#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/utf8.h"

namespace quarn::platform {
namespace {

// Each length's first and last code point is written as the decoder reads it back.
TEST(Utf8, EveryLengthsBoundariesEncodeAndDecodeBack) {
    const std::pair<char32_t, std::size_t> cases[] = {
        {0x00, 1},   {0x7F, 1},   {0x80, 2},   {0x7FF, 2},   {0x800, 3},
        {0xD7FF, 3}, {0xE000, 3}, {0xFFFF, 3}, {0x10000, 4}, {0x10FFFF, 4}};
    for (const auto& [codePoint, length] : cases) {
        std::string text = "x";
        AppendUtf8(text, codePoint);
        ASSERT_EQ(text.size(), 1 + length) << std::hex << static_cast<std::uint32_t>(codePoint);
        const Utf8Step step = DecodeUtf8(text, 1);
        EXPECT_TRUE(step.valid) << std::hex << static_cast<std::uint32_t>(codePoint);
        EXPECT_EQ(static_cast<std::uint32_t>(step.codePoint),
                  static_cast<std::uint32_t>(codePoint));
        EXPECT_EQ(step.length, length);
    }
    std::string korean;
    AppendUtf8(korean, 0xD55C);
    EXPECT_EQ(korean, "\xED\x95\x9C");
}

TEST(Utf16, RoundTripIncludingSurrogatePairs) {
    const std::string texts[] = {
        "",
        "plain ascii",
        "\xED\x95\x9C\xEA\xB8\x80 name",          // Korean
        "\xC3\xA9t\xC3\xA9",                      // two-byte sequences
        "\xF0\x9F\x98\x80 and \xF0\x90\x8D\x88",  // outside the BMP
        std::string("nul\0inside", 10),
    };
    for (const std::string& text : texts) {
        EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);
        EXPECT_TRUE(IsValidUtf8(text));
    }
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), (std::u16string{0xD83D, 0xDE00}));
    EXPECT_EQ(Utf8ToUtf16("\xED\x95\x9C"), std::u16string{0xD55C});
}

TEST(Utf16, InvalidInputBecomesReplacementCharacter) {
    struct Case {
        std::string utf8;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"a\xFF"
         "b",
         u"a\uFFFDb"},
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong '/'
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
        {"\xE2\x82", u"\uFFFD"},                            // truncated at the end
        {"\xE2\x82x", u"\uFFFDx"},                          // truncated in the middle
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16);
        EXPECT_FALSE(IsValidUtf8(c.utf8));
    }
    // Lone surrogates in UTF-16.
    EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD800, u'b'}),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC00}), "\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83D}), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace quarn::platform
