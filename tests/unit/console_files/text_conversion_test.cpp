#include <cfloat>
#include <cstdio>
#include <random>

#include <gtest/gtest.h>

#include "console/files/config_numbers.h"
#include "console/files/utf16le.h"

namespace quarn::console {
namespace {

TEST(ConfigUtf16Test, EncodesUtf8AsLittleEndianUnits) {
    struct Case {
        std::string utf8;
        std::string bytes;
    };
    for (const Case& c :
         {Case{"A", std::string("A\0", 2)}, Case{"\u00E9", std::string("\xE9\0", 2)},
          Case{"\uD55C", "\x5C\xD5"}, Case{"\U0001F600", std::string("\x3D\xD8\x00\xDE", 4)}}) {
        EXPECT_EQ(Utf16ToLeBytes(Utf8ToUtf16(c.utf8)), c.bytes) << c.utf8;
        EXPECT_EQ(Utf16ToUtf8(Utf16FromLeBytes(c.bytes)), c.utf8) << c.utf8;
    }
}

TEST(ConfigUtf16Test, BrokenInputBecomesReplacementCharacters) {
    EXPECT_EQ(Utf16ToUtf8(u"a\xD800"), "a\uFFFD");                  // high surrogate at the end
    EXPECT_EQ(Utf16ToUtf8(u"\xDC00z"), "\uFFFDz");                  // low surrogate alone
    EXPECT_EQ(Utf16ToUtf8(u"\xDE00\xD83D"), "\uFFFD\uFFFD");        // pair in the wrong order
    EXPECT_EQ(Utf8ToUtf16("a\xC3"), u"a\uFFFD");                    // sequence cut short
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");            // overlong
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
    EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // beyond U+10FFFF
    EXPECT_EQ(Utf16FromLeBytes(std::string("A\0B", 3)), u"A");  // odd last byte dropped
}

TEST(ConfigNumberTest, RealTokensAreLeadingNumbersThatStayFinite) {
    struct Case {
        const char* text;
        float value;
    };
    for (const Case c :
         {Case{"939.20", 939.2f}, Case{" -1.5", -1.5f}, Case{"+.5", 0.5f}, Case{"9e1", 90.0f},
          Case{"1.5x", 1.5f}, Case{"x1", 0.0f}, Case{"", 0.0f}, Case{"nan", 0.0f},
          Case{"-inf", 0.0f}, Case{"1e39", 0.0f}, Case{"1e-999", 0.0f}}) {
        EXPECT_FLOAT_EQ(RealToken(c.text), c.value) << c.text;
    }
}

TEST(ConfigNumberTest, FormatsLikePrintfTwoDecimals) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> spread(-5000.0f, 5000.0f);
    std::vector<float> values = {0.0f,   -0.0f, 0.125f,  0.375f,   2.675f, -0.001f,
                                 939.2f, 1e10f, FLT_MAX, -FLT_MAX, FLT_MIN};
    for (int i = 0; i < 2000; ++i) {
        values.push_back(spread(random));
    }
    for (const float value : values) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.02f", static_cast<double>(value));
        EXPECT_EQ(FormatFixed2(value), expected);
    }
}

}  // namespace
}  // namespace quarn::console
