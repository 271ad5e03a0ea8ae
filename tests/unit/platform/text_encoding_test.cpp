#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace quarn::platform {
namespace {

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
