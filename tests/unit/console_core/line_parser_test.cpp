#include "console/core/line_parser.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "console/core/number_text.h"
#include "tests/unit/console_core/iperf_capture.h"

namespace quarn::console {
namespace {

using test::PlainCaptureLines;
using test::RateLines;
using test::ServerLines;

TEST(LineParserTest, RecognisesIntervalsStartingAtZeroInEveryIperfFormat) {
    struct Case {
        const char* line;
        bool startsAtZero;
    };
    const Case cases[] = {
        {"[  4]  0.0- 3.0 sec  8373 MBytes  23363 Mbits/sec", true},
        {"[  1] 0.0000-12.0005 sec  35994 MBytes  25161 Mbits/sec", true},
        {"[SUM]  0.0-10.0 sec  16608 MBytes  46119 Mbits/sec", true},
        {"[  1] 0.00-3.00 sec  8964 MBytes  25067 Mbits/sec", true},
        {"[SUM] 0.0000-12.0040 sec  74746 MBytes  52234 Mbits/sec", true},
        {"[  3]\t0.0 - 6.6 sec  3.12 MBytes  3.98 Mbits/sec", true},
        {"[  4] 10.0-11.0 sec  2649 MBytes  22221 Mbits/sec", false},
        {"[  1] 10.0000-11.0000 sec  2932 MBytes  24594 Mbits/sec", false},
        {"[  1] 20.00-21.00 sec  2932 MBytes  24594 Mbits/sec", false},
        {"[  4]  9.0-10.0 sec  2649 MBytes  22221 Mbits/sec", false},
        {"[  1] 0.5000-1.0000 sec  1 MBytes  8 Mbits/sec", false},
        {"0.0- 3.0 sec  8373 MBytes  23363 Mbits/sec", false},
        {"[  1] local 127.0.0.1 port 7295 connected with 127.0.0.1 port 48836", false},
        {"[  1] .-3.0 sec", false},
        {"[  1] 0.0000", false},
        {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsRunTotalLine(c.line), c.startsAtZero) << c.line;
    }
}

// In every capture only the first interval and the totals at the end start at zero;
// nothing in between may be taken for a total.
TEST(LineParserTest, OnlyFirstIntervalAndFinalTotalsStartAtZeroInRealOutput) {
    struct Capture {
        std::vector<std::string> rates;
        std::size_t zeroStarts;
    };
    const Capture captures[] = {
        {RateLines(PlainCaptureLines("iperf-2.1.8-server-tcp-12s.txt")), 2},
        {RateLines(PlainCaptureLines("iperf-2.1.8-server-udp-100M-12s.txt")), 2},
        {RateLines(ServerLines("iperf-2.0.13-ABCD.txt", "TCP -t 3")), 2},
        {RateLines(ServerLines("iperf-2.2.1-ABCD.txt", "TCP -t 3")), 2},
        // Four streams and their sum: each prints a first interval and a total.
        {RateLines(PlainCaptureLines("iperf-2.1.8-server-tcp-P4-12s.txt")), 10},
    };
    for (const Capture& capture : captures) {
        ASSERT_GT(capture.rates.size(), capture.zeroStarts);
        std::size_t zeroStarts = 0;
        for (const std::string& line : capture.rates) {
            zeroStarts += IsRunTotalLine(line) ? 1 : 0;
        }
        EXPECT_EQ(zeroStarts, capture.zeroStarts) << capture.rates.front();
        EXPECT_TRUE(IsRunTotalLine(capture.rates.front()));
        EXPECT_TRUE(IsRunTotalLine(capture.rates.back()));
    }
}

TEST(LineParserTest, SampleValueIsTheNumberBeforeTheUnit) {
    struct Case {
        const char* line;
        float value;
    };
    const Case cases[] = {
        {"[  1] 0.0000-1.0000 sec  3027 MBytes  25390 Mbits/sec", 25390.0f},
        // UDP lines go on with jitter and loss; the rate is still the token before the unit.
        {"[  1] 1.0000-2.0000 sec  11.9 MBytes   100 Mbits/sec   0.001 ms 0/8504 (0%)", 100.0f},
        {"[  3]  0.0- 1.0 sec  1.25 MBytes  10.5 Mbits/sec   0.007 ms    0/  892 (0%)", 10.5f},
        {"[  3]\t1.0- 2.0 sec\t0.00 MBytes\t0.012 Mbits/sec", 0.012f},
        {"[SUM]  1.0- 2.0 sec  5441 MBytes  45642 Mbits/sec", 45642.0f},
        // Without the unit the last token counts; without a number the value is 0.
        {"interval ends with 12.5", 12.5f},
        {"Mbits/sec first", 0.0f},
        {"[  1] 1.0-2.0 sec  many Mbits/sec", 0.0f},
        {"[  1] 1.0-2.0 sec  nan Mbits/sec", 0.0f},
        {"[  1] 1.0-2.0 sec  1e39 Mbits/sec", 0.0f},
        {"", 0.0f},
    };
    for (const Case& c : cases) {
        EXPECT_FLOAT_EQ(SampleValue(c.line), c.value) << c.line;
    }
}

TEST(LineParserTest, TrailingCrMustGoBeforeTheValueIsRead) {
    const std::string line = "[  1] 2.0000-3.0000 sec  2350 MBytes  19711 Mbits/sec\r";
    // Left on, the CR sticks to the unit and the value is lost.
    EXPECT_FLOAT_EQ(SampleValue(line), 0.0f);
    EXPECT_FLOAT_EQ(SampleValue(WithoutTrailingCr(line)), 19711.0f);
    EXPECT_EQ(WithoutTrailingCr("abc\r"), "abc");
    EXPECT_EQ(WithoutTrailingCr("abc"), "abc");
    EXPECT_EQ(WithoutTrailingCr("\r"), "");
    EXPECT_EQ(WithoutTrailingCr(""), "");
}

TEST(LineParserTest, SampleLinesDependOnStreamsAndProtocol) {
    const std::string stream = "[  3] 1.0000-2.0000 sec  1785 MBytes  14975 Mbits/sec";
    const std::string sum = "[SUM] 1.0000-2.0000 sec  5556 MBytes  46611 Mbits/sec";
    const std::string header = "[ ID] Interval       Transfer     Bandwidth";
    EXPECT_TRUE(IsSampleLine(stream, 1, false));
    // Two streams is already parallel: a stream's own line is no sample of the pair.
    EXPECT_FALSE(IsSampleLine(stream, 2, false));
    EXPECT_TRUE(IsSampleLine(sum, 2, false));
    EXPECT_FALSE(IsSampleLine(stream, 4, false));
    EXPECT_TRUE(IsSampleLine(sum, 4, false));
    EXPECT_TRUE(IsSampleLine(stream, 2, true));
    EXPECT_TRUE(IsSampleLine(stream, 4, true));
    EXPECT_FALSE(IsSampleLine(header, 1, false));
    EXPECT_FALSE(IsSampleLine("[  3] 0.00-1.00 sec  1 datagrams received out-of-order", 1, true));
}

// A rate no link can have is no sample, whatever the streams and protocol.
TEST(LineParserTest, ImpossibleRatesAreNoSamples) {
    struct Case {
        const char* rate;
        bool sample;
    };
    // "400000.00" is a real 400 Gbit/s pair; "many" has no number: a zero sample, as before.
    const Case cases[] = {
        {"0", true},       {"0.00", true},        {"400000.00", true},   {"999999.99", true},
        {"1000000", true}, {"1e6", true},         {"many", true},        {"-5", false},
        {"-0.01", false},  {"1000000.01", false}, {"1000000000", false}, {"3.4e38", false},
        {"1e39", false},   {"inf", false},        {"nan", false},        {"-inf", false},
    };
    for (const Case& c : cases) {
        const std::string single =
            std::string("[  1] 4.0-5.0 sec  1 MBytes  ") + c.rate + " Mbits/sec";
        const std::string sum =
            std::string("[SUM] 4.0-5.0 sec  1 MBytes  ") + c.rate + " Mbits/sec";
        EXPECT_EQ(IsSampleLine(single, 1, false), c.sample) << c.rate;
        EXPECT_EQ(IsSampleLine(sum, 4, false), c.sample) << c.rate;
        EXPECT_EQ(IsSampleLine(single, 4, true), c.sample) << c.rate;
    }
    EXPECT_TRUE(IsPossibleRate(0.0));
    EXPECT_TRUE(IsPossibleRate(kMaxRateMbits));
    EXPECT_FALSE(IsPossibleRate(-1e-9));
    EXPECT_FALSE(IsPossibleRate(std::nextafter(kMaxRateMbits, 2 * kMaxRateMbits)));
}

TEST(LineParserTest, FailureLinesOfRealIperfVersions) {
    EXPECT_TRUE(IsFailureLine("read failed: Connection refused"));
    EXPECT_TRUE(IsFailureLine("tcp connect failed: Connection refused"));
    EXPECT_TRUE(IsFailureLine("listener bind failed: Address in use"));
    EXPECT_FALSE(IsFailureLine("Connection Failed"));
    EXPECT_FALSE(IsFailureLine("[  1] 0.0000-1.0000 sec  3027 MBytes  25390 Mbits/sec"));

    const auto lines = ServerLines("iperf-2.0.13-rest.txt", "UDP client SIGKILL at 2.5s");
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(IsFailureLine(lines.back()));
}

TEST(NumberTextTest, LeadingIntBehavesLikeAPlainConversion) {
    struct Case {
        const char* text;
        int value;
    };
    const Case cases[] = {
        {"60", 60},
        {"259200", 259200},
        {" 12x", 12},
        {"-5", -5},
        {"+7", 7},
        {"abc", 0},
        {"", 0},
        {"--5", 0},
        {"99999999999", std::numeric_limits<int>::max()},
        {"-99999999999", std::numeric_limits<int>::min()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LeadingInt(c.text), c.value) << c.text;
    }
}

// Under a decimal-comma locale the text is still what "%.Nf" writes in the C locale.
TEST(NumberTextTest, FixedTextIgnoresTheLocale) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    const bool german = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    EXPECT_EQ(FixedText(0.123456, 3), "0.123");
    EXPECT_EQ(FixedText(-12.345, 2), "-12.35");
    EXPECT_EQ(FixedText(1234567.0, 1), "1234567.0");
    EXPECT_EQ(FixedText(2.5, 0), "2");
    EXPECT_EQ(FixedText(12.5, 2, 9, true), "   +12.50");
    EXPECT_EQ(FixedText(-0.004, 2, 9, true), "    -0.00");
    EXPECT_EQ(FixedText(0.0, 2, 3), "0.00");  // never cut
    EXPECT_EQ(FixedText(3.0, 2, 14), "          3.00");
    std::setlocale(LC_ALL, before.c_str());
    if (!german)
        GTEST_SKIP() << "de_DE.UTF-8 is not generated here (scripts/setup.sh does it)";
}

// Every figure the files, records and iperf commands carry goes through FixedText, floats
// and huge rates included: it must write what printf writes, digit for digit.
TEST(NumberTextTest, FixedTextWritesWhatPrintfWritesAtTheExtremes) {
    const double values[] = {0.0,
                             -0.0,
                             0.005,
                             0.015,
                             2.675,
                             1e-7,
                             static_cast<double>(0.1f),
                             static_cast<double>(std::numeric_limits<float>::max()),
                             static_cast<double>(-std::numeric_limits<float>::max()),
                             1e300,
                             std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::denorm_min(),
                             std::numeric_limits<double>::infinity()};
    for (const double value : values) {
        for (const int decimals : {0, 1, 2, 3, 4, 6}) {
            char expected[512];
            std::snprintf(expected, sizeof expected, "%.*f", decimals, value);
            EXPECT_EQ(FixedText(value, decimals), expected) << value << " with " << decimals;
        }
    }
}

TEST(NumberTextTest, LeadingDoubleIgnoresTheLocaleAndTrailingText) {
    EXPECT_DOUBLE_EQ(LeadingDouble("5"), 5.0);
    EXPECT_DOUBLE_EQ(LeadingDouble("5.01"), 5.01);
    EXPECT_DOUBLE_EQ(LeadingDouble(" .5MByte"), 0.5);
    EXPECT_DOUBLE_EQ(LeadingDouble("-2.5"), -2.5);
    EXPECT_DOUBLE_EQ(LeadingDouble("1e3"), 1000.0);
    EXPECT_DOUBLE_EQ(LeadingDouble("abc"), 0.0);
    EXPECT_DOUBLE_EQ(LeadingDouble("+-1"), 0.0);
    EXPECT_DOUBLE_EQ(LeadingDouble("1e-999"), 0.0);
    EXPECT_TRUE(std::isinf(LeadingDouble("1e999")));
    EXPECT_LT(LeadingDouble("-1e999"), 0.0);
    EXPECT_TRUE(std::isnan(LeadingDouble("nan")));
}

}  // namespace
}  // namespace quarn::console
