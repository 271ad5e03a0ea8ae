// Test helper for the Windows child-process tests: prints each argument in brackets on
// stdout, QUARN_TEST_VALUE on stderr, then sleeps "sleep" seconds, exits with "exit N" or
// prints a line every 50 ms for "tick" seconds.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::printf("[%s]\n", argv[i]);
    }
    std::fflush(stdout);
    const char* value = std::getenv("QUARN_TEST_VALUE");
    std::fprintf(stderr, "value=%s\n", value != nullptr ? value : "(none)");
    std::fflush(stderr);
    if (argc >= 3 && std::strcmp(argv[1], "sleep") == 0) {
        std::this_thread::sleep_for(std::chrono::seconds(std::atoi(argv[2])));
    }
    if (argc >= 3 && std::strcmp(argv[1], "tick") == 0) {
        for (int i = 0; i < std::atoi(argv[2]) * 20; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            std::printf("tick %d\n", i);
            std::fflush(stdout);
        }
    }
    if (argc >= 3 && std::strcmp(argv[1], "exit") == 0) {
        return std::atoi(argv[2]);
    }
    return 0;
}
