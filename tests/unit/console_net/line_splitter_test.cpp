#include "console/net/line_splitter.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace quarn::console {
namespace {

struct SplitCase {
    const char* name;
    std::vector<std::string> chunks;
    std::vector<std::string> lines;
    std::string pending;
};

void PrintTo(const SplitCase& c, std::ostream* out) {
    *out << c.name;
}

class LineSplitterCases : public ::testing::TestWithParam<SplitCase> {};

TEST_P(LineSplitterCases, HandsOverCompleteLinesAndKeepsTheRest) {
    const SplitCase& c = GetParam();
    LineSplitter splitter;
    std::vector<std::string> lines;
    for (const std::string& chunk : c.chunks) {
        splitter.Feed(chunk, [&](std::string_view line) { lines.emplace_back(line); });
    }
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(splitter.Pending(), c.pending);
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, LineSplitterCases,
    ::testing::Values(SplitCase{"TwoLinesAndARest", {"a\nb\ncd"}, {"a", "b"}, "cd"},
                      SplitCase{"SingleCharacterRest", {"a\nc"}, {"a"}, "c"},
                      SplitCase{"CrLfKeepsTheCr", {"line one\r\n"}, {"line one\r"}, ""},
                      SplitCase{"LineAcrossChunksOnce",
                                {"[  1] 0.0-", "1.0 sec  11", "2 MBytes\n"},
                                {"[  1] 0.0-1.0 sec  112 MBytes"},
                                ""},
                      SplitCase{"RestCompletedByNextChunk", {"a\nb", "c\nd"}, {"a", "bc"}, "d"},
                      SplitCase{"EmptyLinesKept", {"\n\r\n\n"}, {"", "\r", ""}, ""},
                      SplitCase{"NoLfOnlyGrows", {"abc", "def"}, {}, "abcdef"},
                      // A UTF-8 character cut by the chunk boundary arrives whole.
                      SplitCase{
                          "MultibyteAcrossChunks", {"\xEC\x84", "\x9C\n"}, {"\xEC\x84\x9C"}, ""}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

TEST(LineSplitter, OverlongTextWithoutLfIsHandedOverInsteadOfGrowingForever) {
    LineSplitter splitter;
    std::vector<size_t> lengths;
    const std::string chunk(1499, 'x');
    for (size_t sent = 0; sent < 3 * LineSplitter::kMaxLineBytes / 2; sent += chunk.size()) {
        splitter.Feed(chunk, [&](std::string_view line) { lengths.push_back(line.size()); });
    }
    ASSERT_EQ(lengths.size(), 1u);
    EXPECT_GE(lengths[0], LineSplitter::kMaxLineBytes);
    EXPECT_LT(splitter.Pending().size(), LineSplitter::kMaxLineBytes);
}

}  // namespace
}  // namespace quarn::console
