#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace quarn::platform {
namespace {

TEST(LocaleText, CLocaleIsTreatedAsUtf8) {
    // The test runs in the C locale unless told otherwise: Korean must survive.
    const std::string korean = "\xED\x95\x9C\xEA\xB8\x80";
    EXPECT_EQ(AnsiToUtf8(korean), korean);
    EXPECT_EQ(Utf8ToAnsi(korean), korean);
    EXPECT_EQ(AnsiToUtf8("bad\xFF"
                         "byte"),
              "bad?byte");
    EXPECT_EQ(Utf8ToAnsi("cut\xE2\x82"), "cut?");
    EXPECT_EQ(AnsiToUtf8(""), "");
}

}  // namespace
}  // namespace quarn::platform
