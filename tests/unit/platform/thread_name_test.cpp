#include "platform/thread_name.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#ifndef _WIN32
#include <sys/syscall.h>
#include <unistd.h>

#include <fstream>
#endif

namespace quarn::platform {
namespace {

// What a look from outside the process sees of the calling thread.
std::string NameSeenFromOutside() {
#ifdef _WIN32
    return ThisThreadName();
#else
    std::ifstream comm("/proc/self/task/" + std::to_string(syscall(SYS_gettid)) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
#endif
}

TEST(ThreadNameTest, NamesOnlyTheCallingThreadAndCutsLongNames) {
    const std::string before = ThisThreadName();
    std::string named;
    std::string seen;
    std::string cut;
    std::thread([&] {
        NameThisThread("refresh");
        named = ThisThreadName();
        seen = NameSeenFromOutside();
        NameThisThread("a-name-of-twenty-bytes");
        cut = ThisThreadName();
    }).join();
    EXPECT_EQ(named, "refresh");
    EXPECT_EQ(seen, "refresh");
    EXPECT_EQ(cut, "a-name-of-twent");
    EXPECT_EQ(ThisThreadName(), before);
}

}  // namespace
}  // namespace quarn::platform
