#include "console/records/json_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "console/records/json_value.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/console_records/python_check.h"

namespace quarn::console::records {
namespace {

std::string Encoded(std::string_view text) {
    std::string out;
    AppendJsonString(out, text);
    return out;
}

std::string RoundTrip(std::string_view text) {
    const auto parsed = ParseJson(Encoded(text));
    EXPECT_TRUE(parsed.has_value()) << Encoded(text);
    return parsed ? parsed->text : std::string("<unparsed>");
}

TEST(JsonStringTest, EveryControlCharacterIsEscapedAndReadsBack) {
    std::string all;
    for (int c = 0; c < 0x20; ++c)
        all += static_cast<char>(c);
    all += "\"\\/\x7f";
    const std::string encoded = Encoded(all);
    for (std::size_t i = 1; i + 1 < encoded.size(); ++i)
        EXPECT_GE(static_cast<unsigned char>(encoded[i]), 0x20u) << "raw control at " << i;
    EXPECT_EQ(RoundTrip(all), all);
    EXPECT_EQ(Encoded("a\nb\t\"c\""), R"("a\nb\t\"c\"")");
    EXPECT_EQ(Encoded(std::string("\x01", 1)), R"("\u0001")");
}

TEST(JsonStringTest, ValidUtf8PassesAndBrokenBytesBecomeReplacementCharacters) {
    const std::string korean = "\xEC\x84\x9C\xEB\xB2\x84";  // two Hangul syllables
    const std::string emoji = "\xF0\x9F\x98\x80";
    EXPECT_EQ(Encoded(korean + emoji), "\"" + korean + emoji + "\"");
    const std::string replacement = "\xEF\xBF\xBD";
    // A lone continuation byte, an overlong '/', an encoded surrogate, a cut sequence.
    EXPECT_EQ(RoundTrip("a\x80z"), "a" + replacement + "z");
    EXPECT_EQ(RoundTrip("\xC0\xAF"), replacement + replacement);
    EXPECT_EQ(RoundTrip("\xED\xA0\x80"), replacement + replacement + replacement);
    EXPECT_EQ(RoundTrip("x\xE2\x82"), "x" + replacement + replacement);
    std::string four;
    for (int i = 0; i < 4; ++i)
        four += replacement;
    EXPECT_EQ(RoundTrip("\xF4\x90\x80\x80"), four);  // above U+10FFFF
}

TEST(JsonNumberTest, FiniteNumbersReadBackExactlyAndOthersAreNull) {
    for (const double value : {0.0, -1.5, 940.23, 1e-7, 123456789.125, 3.4028234663852886e38}) {
        std::string out;
        AppendJsonNumber(out, value);
        const auto parsed = ParseJson(out);
        ASSERT_TRUE(parsed && parsed->Is(JsonValue::Kind::Number)) << out;
        EXPECT_EQ(parsed->number, value) << out;
    }
    // A float figure is written as the float's own value, not with float noise.
    std::string figure;
    AppendJsonNumber(figure, static_cast<double>(940.23f));
    EXPECT_EQ(std::stod(figure), static_cast<double>(940.23f));
    for (const double value :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity()}) {
        std::string out;
        AppendJsonNumber(out, value);
        EXPECT_EQ(out, "null");
    }
}

TEST(JsonValueTest, ParsesWhatTheObjectBuilderWrites) {
    JsonObject o;
    o.String("name", "Pair \"1\"").Number("v", 1.25).Integer("n", -3).Bool("b", true);
    o.Raw("list", "[1,{\"k\":null}]");
    const auto parsed = ParseJson(o.Text());
    ASSERT_TRUE(parsed.has_value()) << o.Text();
    EXPECT_EQ(parsed->StringAt("name"), "Pair \"1\"");
    EXPECT_EQ(parsed->NumberAt("v"), 1.25);
    EXPECT_EQ(parsed->IntegerAt("n"), -3);
    EXPECT_EQ(parsed->BoolAt("b"), true);
    ASSERT_NE(parsed->Find("list"), nullptr);
    EXPECT_EQ(parsed->Find("list")->items.size(), 2u);
    EXPECT_FALSE(parsed->StringAt("v").has_value());
    EXPECT_FALSE(parsed->IntegerAt("v").has_value());
}

TEST(JsonValueTest, RefusesWhatIsNotStrictJson) {
    const std::vector<std::string> bad = {
        "",    "{",    "{\"a\":1,}",  "[1,]",     "{\"a\" 1}",  "01",          "+1",
        "1.",  ".5",   "1e",          "\"a\nb\"", "\"\\x\"",    "\"\\ud800\"", "\"\\udc00\"",
        "nul", "{} x", "{\"a\":1}{}", "1e400",    "[\"\\u12\"]"};
    for (const std::string& text : bad)
        EXPECT_FALSE(ParseJson(text).has_value()) << text;
    EXPECT_FALSE(ParseJson(std::string(40, '[') + std::string(40, ']')).has_value());
    EXPECT_TRUE(ParseJson(std::string(30, '[') + std::string(30, ']')).has_value());
    const auto pair = ParseJson("\"\\ud83d\\ude00\"");
    ASSERT_TRUE(pair.has_value());
    EXPECT_EQ(pair->text, "\xF0\x9F\x98\x80");
}

TEST(JsonStringTest, PythonReadsEveryEncodedStringBackAsWritten) {
    test_support::TempDir dir;
    const std::vector<std::string> texts = {
        "plain",   "tab\there", "quote\"back\\slash", std::string("nul\0byte", 8), "\xEC\x84\x9C",
        "del\x7f", "\x1f\x01"};
    std::ofstream out(dir.File("strings.jsonl"));
    for (const std::string& text : texts)
        out << Encoded(text) << '\n';
    out.close();
    std::ofstream expected(dir.File("expected.txt"), std::ios::binary);
    for (const std::string& text : texts)
        expected << text << '\x1e';
    expected.close();
    const std::string script =
        "import json, sys, os\n"
        "lines = open(sys.argv[1], encoding='utf-8').read().splitlines()\n"
        "want = open(os.path.join(os.path.dirname(sys.argv[1]), 'expected.txt'), 'rb')"
        ".read().split(b'\\x1e')[:-1]\n"
        "got = [json.loads(l).encode('utf-8') for l in lines]\n"
        "sys.exit(0 if got == want else 1)\n";
    EXPECT_EQ(test::RunPythonCheck(dir.Path(), script, dir.File("strings.jsonl")), 0);
}

}  // namespace
}  // namespace quarn::console::records
