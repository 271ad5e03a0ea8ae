#include "console/files/config_fields.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/unit/console_files/config_test_support.h"

namespace quarn::console {
namespace {

// Each field alone: one token without spaces, and what it reads back writes the same
// token again, so a position never drifts between writer and reader.
TEST(ConfigFieldsTest, EveryFieldReadsBackWhatItWrote) {
    const ConsoleData state = test::MeasuredState();
    ASSERT_GE(state.table.PairCount(), 1);
    for (std::size_t i = 0; i < AllLineFields().size(); ++i) {
        const AllLineField& field = AllLineFields()[i];
        const std::string token = field.write(state);
        EXPECT_FALSE(token.empty()) << i;
        EXPECT_EQ(token.find(' '), std::string::npos) << i;
        ConsoleData read;
        field.read(token, read);
        if (i > 0) {  // the word "All" carries nothing
            EXPECT_EQ(field.write(read), token) << i;
        }
    }
    for (std::size_t i = 1; i < PairLineFields().size(); ++i) {
        const PairLineField& field = PairLineFields()[i];
        const std::string token = field.write(state.table[1], 1);
        EXPECT_EQ(token.find(' '), std::string::npos) << i;
        PairRecord read;
        field.read(token, read);
        EXPECT_EQ(field.write(read, 1), token) << i;
    }
    // A pair without a name is written by its row, a blank address as a dash.
    PairRecord blank;
    blank.config.endpoint1 = "  ";
    EXPECT_EQ(PairLineFields()[0].write(blank, 7), "Pair7");
    EXPECT_EQ(PairLineFields()[1].write(blank, 7), "-");
}

}  // namespace
}  // namespace quarn::console
