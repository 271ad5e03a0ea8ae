#include <gtest/gtest.h>

#include <string>

#include "protocol/codec.h"

namespace quarn::protocol {
namespace {

TEST(RequestFramer, AssemblesSegmentsUntilCrLf) {
    RequestFramer framer;
    EXPECT_EQ(framer.Append("server_co"), RequestFramer::NeedMore);
    EXPECT_EQ(framer.Append("nfig -s -f m -i 1\r"), RequestFramer::NeedMore);
    EXPECT_EQ(framer.Append("\n"), RequestFramer::Complete);
    EXPECT_EQ(framer.Line(), "server_config -s -f m -i 1");
    EXPECT_TRUE(RequestFramer::IsServerRequest(framer.Line()));
    EXPECT_EQ(RequestFramer::ServerOptions(framer.Line()), " -s -f m -i 1");
    // Later chunks do not change a complete line.
    EXPECT_EQ(framer.Append("more"), RequestFramer::Complete);
    EXPECT_EQ(framer.Line(), "server_config -s -f m -i 1");
}

TEST(RequestFramer, TextAfterTheFirstCrLfStaysWithCrLfRemoved) {
    RequestFramer framer;
    EXPECT_EQ(framer.Append(" -c 198.18.0.3 -f m\r\nextra\r\ntail"), RequestFramer::Complete);
    EXPECT_EQ(framer.Line(), " -c 198.18.0.3 -f mextratail");
}

TEST(RequestFramer, ServerConfigOnlyCountsAtTheFirstCharacter) {
    EXPECT_FALSE(RequestFramer::IsServerRequest(" server_config -s"));
    EXPECT_FALSE(RequestFramer::IsServerRequest("Server_config -s"));
    EXPECT_TRUE(RequestFramer::IsServerRequest("server_config"));
    EXPECT_EQ(RequestFramer::ServerOptions("server_config -s server_config-u"), " -s -u");
}

TEST(RequestFramer, LineLimit) {
    RequestFramer atLimit;
    EXPECT_EQ(atLimit.Append(std::string(kMaxRequestLine, 'a')), RequestFramer::NeedMore);
    EXPECT_EQ(atLimit.Append("\r"), RequestFramer::NeedMore);
    EXPECT_EQ(atLimit.Append("\n"), RequestFramer::Complete);
    EXPECT_EQ(atLimit.Line().size(), kMaxRequestLine);

    RequestFramer noEnd;
    EXPECT_EQ(noEnd.Append(std::string(kMaxRequestLine, 'a')), RequestFramer::NeedMore);
    EXPECT_EQ(noEnd.Append("a"), RequestFramer::TooLong);
    // Stays refused even if the CR LF arrives afterwards.
    EXPECT_EQ(noEnd.Append("\r\n"), RequestFramer::TooLong);

    RequestFramer longWithEnd;
    EXPECT_EQ(longWithEnd.Append(std::string(kMaxRequestLine + 1, 'a') + "\r\n"),
              RequestFramer::TooLong);
}

}  // namespace
}  // namespace quarn::protocol
