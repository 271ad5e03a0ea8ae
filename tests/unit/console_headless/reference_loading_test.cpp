#include "console/records/reference_loading.h"

#include <gtest/gtest.h>

#include "console/core/outcome.h"
#include "console/files/config_file.h"
#include "console/files/file_flow.h"
#include "tests/unit/console_files/config_test_support.h"

namespace quarn::console {
namespace {

using records::LoadReference;
using test::ConfigFileBytes;
using test::TempDir;
using test::WriteBytes;

TEST(OutcomeTest, AFailureIsAFailureEvenWithoutAText) {
    EXPECT_TRUE(Outcome::Done().Ok());
    EXPECT_TRUE(Outcome::Done().Why().empty());
    // The old convention took an empty text for success; the outcome does not.
    const Outcome silent = Outcome::Failed("");
    EXPECT_FALSE(silent.Ok());
    EXPECT_FALSE(static_cast<bool>(silent));
    EXPECT_EQ(Outcome::Failed("No run x in the history.").Why(), "No run x in the history.");
}

TEST(LoadReferenceTest, EachWayAReferenceCanFailGivesItsOwnText) {
    TempDir dir;
    ConsoleData reference;

    const std::string missing = dir.File("gone.config");
    Outcome loaded = LoadReference(missing, dir.Path(), reference);
    EXPECT_FALSE(loaded.Ok());
    EXPECT_EQ(loaded.Why(), "Cannot open the file: " + missing);

    // A name without a folder or the file extension is a run id of the history.
    loaded = LoadReference("nosuchrun", dir.Path(), reference);
    EXPECT_FALSE(loaded.Ok());
    EXPECT_EQ(loaded.Why(), "No run nosuchrun in the history.");

    const std::string other = dir.File("notes.txt");
    WriteBytes(other, "plain text, no configuration");
    loaded = LoadReference(other, dir.Path(), reference);
    EXPECT_FALSE(loaded.Ok());
    EXPECT_EQ(loaded.Why(), FileFlow::kNotConfigFile);

    // A folder exists but cannot be read as a file.
    loaded = LoadReference(dir.Path(), dir.Path(), reference);
    EXPECT_EQ(loaded.Why(), "Cannot open the file: " + dir.Path());
}

TEST(LoadReferenceTest, AWholeOrCutShortFileLoadsWithTheChartReady) {
    TempDir dir;
    ConsoleData saved = test::MeasuredState();
    const std::string whole = dir.File("whole.config");
    ASSERT_TRUE(WriteConfigFile(whole, saved).Ok());

    ConsoleData reference;
    reference.AddPair(PairConfig{});  // what was there before goes
    ASSERT_TRUE(LoadReference(whole, dir.Path(), reference).Ok());
    EXPECT_EQ(reference.table.PairCount(), 3);
    EXPECT_EQ(reference.ticks, 120);
    // Ready to draw: the chart has taken the run's length from the file.
    EXPECT_EQ(reference.chart.RunLength(), 120);

    // Cut after the first pair's line: the pairs read still compare.
    const std::string cut = dir.File("cut.config");
    WriteBytes(cut, ConfigFileBytes("[]\n[]\nAll\r\nPair1 198.18.0.1 198.18.1.1\r\nPair2 19"));
    ConsoleData partial;
    const Outcome loaded = LoadReference(cut, dir.Path(), partial);
    EXPECT_TRUE(loaded.Ok()) << loaded.Why();
    EXPECT_GE(partial.table.PairCount(), 1);
    EXPECT_EQ(partial.table[1].config.endpoint2, "198.18.1.1");
}

}  // namespace
}  // namespace quarn::console
