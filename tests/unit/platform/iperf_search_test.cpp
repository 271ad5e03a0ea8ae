#include "platform/iperf_search.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace quarn::platform {
namespace {

IperfSearch Search(std::set<std::string> programs) {
    IperfSearch search;
    search.pathList = "/usr/local/bin::/usr/bin:/bin";
    search.program = "iperf";
    search.isProgram = [programs](const std::string& path) { return programs.contains(path); };
    return search;
}

TEST(IperfSearchTest, OverrideThenBesideUsThenThePathThenTheBareName) {
    IperfSearch search = Search({"/opt/quarn/iperf", "/usr/bin/iperf", "/bin/iperf"});
    search.overridden = "/tmp/stand-in";
    EXPECT_EQ(FindIperfBy(search, "/opt/quarn"), "/tmp/stand-in");
    search.overridden.clear();
    EXPECT_EQ(FindIperfBy(search, "/opt/quarn"), "/opt/quarn/iperf");
    // Nothing beside us (or no folder known): the first on the path; empty entries skipped.
    EXPECT_EQ(FindIperfBy(search, "/opt/other"), "/usr/bin/iperf");
    EXPECT_EQ(FindIperfBy(search, ""), "/usr/bin/iperf");
    EXPECT_EQ(FindIperfBy(Search({}), "/opt/quarn"), "iperf");
}

TEST(IperfSearchTest, WindowsSeparatorsAndProgramName) {
    IperfSearch search;
    search.pathList = "C:\\tools;;C:\\iperf2";
    search.listSeparator = ';';
    search.dirSeparator = '\\';
    search.program = "iperf.exe";
    search.isProgram = [](const std::string& path) { return path == "C:\\iperf2\\iperf.exe"; };
    EXPECT_EQ(FindIperfBy(search, "C:\\Quarn"), "C:\\iperf2\\iperf.exe");
    search.isProgram = [](const std::string& path) { return path == "C:\\Quarn\\iperf.exe"; };
    EXPECT_EQ(FindIperfBy(search, "C:\\Quarn"), "C:\\Quarn\\iperf.exe");
    search.pathList.clear();
    EXPECT_EQ(FindIperfBy(search, ""), "iperf.exe");
}

}  // namespace
}  // namespace quarn::platform
