// --lab-key as both fronts load it: no option is no key, a good file is its key, and a
// file the Console cannot use says why in the words the window shows too.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "console/headless/headless_console.h"
#include "labkey/key_file.h"
#include "tests/support/temp_dir.h"

namespace quarn::console {
namespace {

TEST(LabKeyOptionTest, NoOptionIsNoKeyAndAGoodFileIsItsKey) {
    HeadlessOptions options;
    Result<std::optional<labkey::LabKey>> none = LoadLabKeyOption(options);
    ASSERT_TRUE(none) << none.Why();
    EXPECT_FALSE(none->has_value());

    const test_support::TempDir dir;
    options.labKeyPath = dir.File("lab.key");
    std::string why;
    ASSERT_TRUE(labkey::WriteNewKeyFile(options.labKeyPath, why)) << why;
    Result<std::optional<labkey::LabKey>> loaded = LoadLabKeyOption(options);
    ASSERT_TRUE(loaded) << loaded.Why();
    ASSERT_TRUE(loaded->has_value());
    EXPECT_EQ((*loaded)->Bytes(), labkey::LoadKeyFile(options.labKeyPath, why)->Bytes());
}

TEST(LabKeyOptionTest, AFileTheConsoleCannotUseNamesItselfAndWhy) {
    const test_support::TempDir dir;
    const std::string open = dir.File("open.key");
    std::string why;
    ASSERT_TRUE(labkey::WriteNewKeyFile(open, why)) << why;
    chmod(open.c_str(), 0644);
    const std::string junk = dir.File("junk.key");
    std::ofstream(junk) << "not a key\n";
    chmod(junk.c_str(), 0600);
    const struct {
        std::string path;
        const char* reason;
    } cases[] = {
        {open, "others can read"}, {junk, "not a lab key file"}, {dir.File("missing.key"), ""}};
    for (const auto& c : cases) {
        HeadlessOptions options;
        options.labKeyPath = c.path;
        const Result<std::optional<labkey::LabKey>> refused = LoadLabKeyOption(options);
        ASSERT_FALSE(refused) << c.path;
        EXPECT_EQ(refused.Why().rfind("Cannot use the lab key " + c.path + ": " + c.reason, 0), 0u)
            << refused.Why();
    }
}

}  // namespace
}  // namespace quarn::console
