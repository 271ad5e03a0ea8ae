#include "console/headless/terminal_view.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace quarn::console {
namespace {

// Everything written to a temporary file so far.
std::string Written(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[256];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, n);
    }
    return text;
}

struct Output {
    Output() : file(std::tmpfile()) {}
    ~Output() { std::fclose(file); }
    std::FILE* file;
};

TEST(TerminalViewTest, TerminalProgressIsOneLineRewrittenInPlace) {
    ConsoleData data;
    Output out;
    TerminalView view(data, out.file, true);
    data.table.All().currentText = "1234.50";
    view.TickProcessed(1, 3725);
    data.table.All().currentText = "9.00";
    view.TickProcessed(2, 3725);
    // A notice starts on a line of its own.
    view.ShowNotice(NoticeKind::Completed, "The current measurement is completed.");
    EXPECT_EQ(Written(out.file),
              "\rtick 1 of 3725, total 1234.50 Mbit/s, 1:02:04 left\033[K"
              "\rtick 2 of 3725, total 9.00 Mbit/s, 1:02:03 left\033[K"
              "\nThe current measurement is completed.\n");
}

TEST(TerminalViewTest, PipeGetsOneLinePerTickAsBefore) {
    ConsoleData data;
    Output out;
    TerminalView view(data, out.file);  // a file is no terminal
    int csvTicks = 0;
    view.onTick = [&](int) { ++csvTicks; };
    data.table.All().currentText = "940.23";
    view.TickProcessed(1, 10);
    view.TickProcessed(2, 10);
    view.ShowNotice(NoticeKind::Message, "The current measurement is stopped.");
    EXPECT_EQ(Written(out.file),
              "tick 1 of 10, total 940.23 Mbit/s\ntick 2 of 10, total 940.23 Mbit/s\n"
              "The current measurement is stopped.\n");
    EXPECT_EQ(csvTicks, 2);
}

TEST(TerminalViewTest, TimeLeftFormat) {
    EXPECT_EQ(FormatTimeLeft(0), "0:00:00");
    EXPECT_EQ(FormatTimeLeft(59), "0:00:59");
    EXPECT_EQ(FormatTimeLeft(3600), "1:00:00");
    EXPECT_EQ(FormatTimeLeft(259200), "72:00:00");
    EXPECT_EQ(FormatTimeLeft(-4), "0:00:00");
}

}  // namespace
}  // namespace quarn::console
