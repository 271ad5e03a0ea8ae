#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "console/files/atomic_file_writer.h"
#include "console/files/config_file.h"
#include "console/files/utf16le.h"
#include "tests/unit/console_files/config_test_support.h"

namespace quarn::console {
namespace {

using test::DescribeSavedState;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::vector<std::string> DirectoryEntries(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// Runs a save in a child process that cannot write to the directory even when the tests
// run as root, and returns the save's result.
int WriteWithoutDirectoryAccess(const std::string& path, ConsoleData& data) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(100);
        }
        ::_exit(WriteConfigFile(path, data) ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 1 ? -1 : WEXITSTATUS(status);
}

TEST(ConfigSafetyTest, FailedSaveLeavesTheOldFileUntouched) {
    TempDir dir;
    const std::string path = dir.File("run.config");
    WriteBytes(path, "the previous good file");
    ConsoleData data = test::MeasuredState();

    ::chmod(dir.Path().c_str(), 0555);
    EXPECT_EQ(WriteWithoutDirectoryAccess(path, data), -1);
    ::chmod(dir.Path().c_str(), 0700);
    EXPECT_EQ(ReadBytes(path), "the previous good file");

    // The disk fills up halfway through: the write fails after the temporary file exists.
    rlimit previous{};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    rlimit small = previous;
    small.rlim_cur = 100;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    const Outcome result = WriteConfigFile(path, data);
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result.Why(), std::strerror(EFBIG));
    EXPECT_EQ(ReadBytes(path), "the previous good file");
    EXPECT_EQ(DirectoryEntries(dir.Path()), std::vector<std::string>{"run.config"});

    EXPECT_FALSE(WriteConfigFile(dir.File("no-such-folder/run.config"), data));
}

TEST(ConfigSafetyTest, SaveThroughALinkReplacesTheFileItKeepingItsMode) {
    TempDir dir;
    const std::string real = dir.File("real.config");
    WriteBytes(real, "old");
    ::chmod(real.c_str(), 0640);
    std::filesystem::create_symlink(real, dir.File("link.config"));
    ConsoleData data = test::MeasuredState();
    ASSERT_TRUE(WriteConfigFile(dir.File("plain.config"), data).Ok());

    ASSERT_TRUE(WriteConfigFile(dir.File("link.config"), data).Ok());
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.config")));
    EXPECT_EQ(ReadBytes(real), ReadBytes(dir.File("plain.config")));
    struct stat status {};
    ASSERT_EQ(::stat(real.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    EXPECT_EQ(DirectoryEntries(dir.Path()).size(), 3u);
}

// Damages a valid file in ways a disk, a transfer or an editor might, and worse.
class Mutator {
  public:
    explicit Mutator(unsigned seed) : random_(seed) {}

    std::string Mutate(std::string bytes) {
        for (int step = Below(4); step >= 0; --step) {
            // Mostly behind the header, so that the damage reaches the parser.
            const std::size_t from = Below(10) == 0 ? 0 : std::min<std::size_t>(40, bytes.size());
            const std::size_t at =
                from + static_cast<std::size_t>(Below(static_cast<int>(bytes.size() - from) + 1));
            switch (Below(4)) {
                case 0:
                    bytes.resize(at);
                    break;
                case 1:
                    bytes.erase(at, static_cast<std::size_t>(Below(64)));
                    break;
                case 2:
                    bytes.insert(at, bytes.substr(at, static_cast<std::size_t>(Below(400))));
                    break;
                default: {
                    // Now and then a sample part of 50000 values.
                    const int times = Below(50) == 0 ? 50000 : Below(20) + 1;
                    const std::string fragment = Fragment();
                    std::string run;
                    for (int i = 0; i < times; ++i) {
                        run += fragment;
                    }
                    bytes.insert(at, run);
                }
            }
        }
        return bytes;
    }

  private:
    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

    std::string Fragment() {
        static const std::u16string_view kFragments[] = {
            u"\r",          u"\n",          u" ",
            u"\"",          u"[",           u"]",
            u"\r\r\r\r\r[", u"]\r\r\r\r\r", u"99999999999999999999",
            u"nan",         u"1e999",       u" 5",
            u"\xD800",      u"\xDC00",      u"\xFFFF"};
        return Utf16ToLeBytes(kFragments[Below(static_cast<int>(std::size(kFragments)))]);
    }

    std::mt19937 random_;
};

TEST(ConfigSafetyTest, DamagedFilesNeverBreakTheReader) {
    TempDir dir(TempDir::Place::Memory);
    ConsoleData source = test::MeasuredState();
    ASSERT_TRUE(WriteConfigFile(dir.File("valid.config"), source).Ok());
    const std::string valid = ReadBytes(dir.File("valid.config"));
    const std::string path = dir.File("damaged.config");
    Mutator mutator(20240502);
    ConsoleData data;
    int accepted = 0;
    for (int i = 0; i < 3000; ++i) {
        WriteBytes(path, mutator.Mutate(valid));
        const ConfigResult result = ReadConfigFile(path, data, [&] { data.ResetToNew(); });
        ASSERT_TRUE(result == ConfigResult::Done || result == ConfigResult::NotConfigFile ||
                    result == ConfigResult::Incomplete)
            << i;
        const int series = static_cast<int>(data.chart.Series().size());
        ASSERT_LE(data.table.PairCount(), PairTable::kMaxPairs) << i;
        ASSERT_EQ(series, series == 0 ? 0 : data.table.PairCount() + 1) << i;
        if (result == ConfigResult::NotConfigFile) {
            ASSERT_TRUE(data.table.PairCount() == 0 && data.endPoints.empty() &&
                        data.nameLookup.empty() && data.measuredAt.empty() && data.ticks == 0)
                << i;
            continue;
        }
        ++accepted;
        if (i % 8 != 0) {
            continue;
        }
        // Whatever was read saves and reopens to a state that then stays the same.
        ASSERT_TRUE(WriteConfigFile(dir.File("again.config"), data).Ok()) << i;
        ASSERT_EQ(ReadConfigFile(dir.File("again.config"), data, [&] { data.ResetToNew(); }),
                  ConfigResult::Done);
        const std::string once = DescribeSavedState(data);
        ASSERT_TRUE(WriteConfigFile(dir.File("again.config"), data).Ok()) << i;
        ASSERT_EQ(ReadConfigFile(dir.File("again.config"), data, [&] { data.ResetToNew(); }),
                  ConfigResult::Done);
        ASSERT_EQ(DescribeSavedState(data), once) << i;
    }
    EXPECT_GT(accepted, 2000);  // most damage is beyond the header and must still load
}

// A file cut anywhere opens with what could be read and says that it is incomplete,
// except where the cut falls exactly after a row's line end: that file is byte for byte a
// whole file with fewer pairs.
TEST(ConfigSafetyTest, TruncatedFilesOpenAsFarAsTheyGoAndSaySo) {
    TempDir dir(TempDir::Place::Memory);
    ConsoleData source = test::MeasuredState();
    ASSERT_TRUE(WriteConfigFile(dir.File("whole.config"), source).Ok());
    const std::string whole = ReadBytes(dir.File("whole.config"));
    ConsoleData data;
    ASSERT_EQ(ReadConfigFile(dir.File("whole.config"), data, [&] { data.ResetToNew(); }),
              ConfigResult::Done);
    EXPECT_EQ(data.table.PairCount(), 3);

    // Byte offsets just after each LF of the text: the ends of the time, EndPoint and row
    // lines.
    std::vector<std::size_t> recordEnds;
    for (std::size_t at = 40; at + 1 < whole.size(); at += 2) {
        if (whole[at] == '\n' && whole[at + 1] == '\0') {
            recordEnds.push_back(at + 2);
        }
    }
    ASSERT_EQ(recordEnds.size(), 6u);  // time, EndPoints, All and three pairs; then names
    const std::string path = dir.File("cut.config");
    int incomplete = 0;
    for (std::size_t size = 40; size < whole.size(); ++size) {
        WriteBytes(path, whole.substr(0, size));
        const ConfigResult result = ReadConfigFile(path, data, [&] { data.ResetToNew(); });
        const bool afterRowLine =
            std::find(recordEnds.begin() + 2, recordEnds.end(), size) != recordEnds.end();
        if (afterRowLine) {
            EXPECT_EQ(result, ConfigResult::Done) << size;
            continue;
        }
        ASSERT_EQ(result, ConfigResult::Incomplete) << size;
        ++incomplete;
        // Pairs whose line was cut are read as far as they go.
        int pairLinesStarted = 0;
        for (std::size_t r = 2; r + 1 < recordEnds.size(); ++r) {
            pairLinesStarted += size >= recordEnds[r] + 2 ? 1 : 0;  // one whole character
        }
        EXPECT_EQ(data.table.PairCount(), pairLinesStarted) << size;
    }
    EXPECT_EQ(incomplete, static_cast<int>(whole.size()) - 40 - 4);
    EXPECT_EQ(IncompleteFileText(2), "The file is incomplete: 2 pairs were read.");

    // Whole files without a name block, or with nothing measured, are complete.
    source.nameLookup.clear();
    source.chart.Reset();
    ASSERT_TRUE(WriteConfigFile(path, source).Ok());
    EXPECT_EQ(ReadConfigFile(path, data, [&] { data.ResetToNew(); }), ConfigResult::Done);
    source.table.RemoveAllPairs();
    ASSERT_TRUE(WriteConfigFile(path, source).Ok());
    EXPECT_EQ(ReadConfigFile(path, data, [&] { data.ResetToNew(); }), ConfigResult::Done);
}

// A save killed halfway leaves its temporary file; the next save into the folder removes
// it, but never a temporary file of a process that is still alive, nor other files.
TEST(ConfigSafetyTest, SaveRemovesTemporaryFilesOfKilledSaves) {
    TempDir dir;
    ConsoleData data = test::MeasuredState();
    const pid_t child = ::fork();
    if (child == 0) {
        AtomicFileWriter writer(dir.File("run.config"));
        const bool written = writer.Open() && writer.Write("half of a file");
        ::raise(SIGKILL);  // killed before it could commit or clean up
        ::_exit(written ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::vector<std::string> afterKill = DirectoryEntries(dir.Path());
    ASSERT_EQ(afterKill.size(), 1u);
    EXPECT_EQ(afterKill[0].rfind(".run.config.tmp-" + std::to_string(child) + "-", 0), 0u);

    const std::string alive = ".other.config.tmp-" + std::to_string(::getppid()) + "-4";
    const std::string own = ".mine.config.tmp-" + std::to_string(::getpid()) + "-9";
    const std::vector<std::string> kept = {alive, own, ".run.config.tmp-x-0",
                                           "run.config.tmp-" + std::to_string(child) + "-0",
                                           ".tmp-" + std::to_string(child) + "-0"};
    for (const std::string& name : kept) {
        WriteBytes(dir.File(name), "kept");
    }
    const std::string folderLike = ".dir.config.tmp-" + std::to_string(child) + "-1";
    ASSERT_EQ(::mkdir(dir.File(folderLike).c_str(), 0700), 0);

    ASSERT_TRUE(WriteConfigFile(dir.File("next.config"), data).Ok());
    std::vector<std::string> names = DirectoryEntries(dir.Path());
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected = kept;
    expected.push_back(folderLike);
    expected.push_back("next.config");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}

}  // namespace
}  // namespace quarn::console
