#include "protocol/auth_messages.h"

#include "protocol/messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quarn::protocol {
namespace {

const std::string kChallenge(32, 'a');
const std::string kOther = "0123456789abcdef0123456789abcdef";
const std::string kTag(64, 'f');

TEST(AuthMessages, EachReadsBackAsWritten) {
    EXPECT_EQ(FormatAuthHello(kChallenge), "quarn-auth1 " + kChallenge);
    EXPECT_EQ(ParseAuthHello(FormatAuthHello(kChallenge)), kChallenge);
    EXPECT_TRUE(IsAuthHello(FormatAuthHello(kChallenge)));

    const auto challenge = ParseAuthChallenge(FormatAuthChallenge(kOther, kTag));
    ASSERT_TRUE(challenge);
    EXPECT_FALSE(challenge->unkeyed);
    EXPECT_EQ(challenge->challenge, kOther);
    EXPECT_EQ(challenge->proof, kTag);
    EXPECT_TRUE(ParseAuthChallenge(FormatAuthNone())->unkeyed);

    // The request keeps its own spaces, leading one included.
    const std::string request = " -c 198.18.0.12 -i 1 -t 10 -f m";
    const auto tagged = ParseAuthRequest(FormatAuthRequest(kTag, request));
    ASSERT_TRUE(tagged);
    EXPECT_EQ(tagged->tag, kTag);
    EXPECT_EQ(tagged->request, request);

    const auto restart = ParseAuthRestart(FormatAuthRestart(1796000000, kChallenge, kTag));
    ASSERT_TRUE(restart);
    EXPECT_EQ(restart->unixSeconds, 1796000000);
    EXPECT_EQ(restart->nonce, kChallenge);
    EXPECT_EQ(restart->tag, kTag);
    // Older EndPoints still see a restart in it.
    EXPECT_EQ(ClassifyDatagram(FormatAuthRestart(1, kChallenge, kTag)), DatagramKind::Restart);
}

TEST(AuthMessages, RefuseAnythingNotExactlyTheirShape) {
    for (const std::string& bad : std::vector<std::string>{
             std::string("quarn-auth1"), "quarn-auth1 ", "quarn-auth1 " + kChallenge + " ",
             "quarn-auth1 " + kChallenge.substr(1), "quarn-auth1 " + std::string(32, 'A'),
             "quarn-auth1  " + kChallenge, "quarn-auth2 " + kChallenge, " -c 198.18.0.1"}) {
        EXPECT_FALSE(ParseAuthHello(bad)) << bad;
    }
    for (const std::string& bad : std::vector<std::string>{
             FormatAuthNone() + " ", "quarn-auth1 " + kOther,
             "quarn-auth1 " + kOther + " " + kOther, FormatAuthChallenge(kOther, kTag) + " x",
             FormatAuthChallenge(kOther, kTag + "0")}) {
        EXPECT_FALSE(ParseAuthChallenge(bad)) << bad;
    }
    for (const std::string& bad : std::vector<std::string>{
             std::string("quarn-req1 ") + kTag, "quarn-req1 " + kTag.substr(2) + " x",
             "quarn-req2 " + kTag + " x", "quarn-req1 " + std::string(64, 'g') + " x"}) {
        EXPECT_FALSE(ParseAuthRequest(bad)) << bad;
    }
    for (const std::string& bad : std::vector<std::string>{
             std::string("restart"), "restart quarn1 ",
             "restart quarn1 -5 " + kChallenge + " " + kTag,
             "restart quarn1 +5 " + kChallenge + " " + kTag,
             "restart quarn1 99999999999999 " + kChallenge + " " + kTag,
             "restart quarn1 5 " + kChallenge + " " + kTag + " ",
             "restart quarn1 5x " + kChallenge + " " + kTag, "restart quarn1 5 " + kChallenge,
             "restart quarn1 05 " + kChallenge + " " + kTag}) {
        EXPECT_FALSE(ParseAuthRestart(bad)) << bad;
    }
}

TEST(AuthMessages, SignedDiscoveryMessages) {
    EXPECT_EQ(ParseSignedProbe(FormatSignedProbe(kChallenge)), kChallenge);
    // Older EndPoints answer it as a plain probe.
    EXPECT_EQ(ClassifyDatagram(FormatSignedProbe(kChallenge)), DatagramKind::Probe);
    EXPECT_FALSE(ParseSignedProbe("hello"));
    EXPECT_FALSE(ParseSignedProbe("hello quarn1 " + kChallenge + " "));
    EXPECT_FALSE(ParseSignedProbe("hello quarn1 " + kChallenge.substr(1)));

    const auto signature = ParseReplySignature(FormatReplySignature("198.18.0.12", kTag));
    ASSERT_TRUE(signature);
    EXPECT_EQ(signature->address, "198.18.0.12");
    EXPECT_EQ(signature->tag, kTag);
    EXPECT_FALSE(ParseReplySignature("quarn-sig1 198.18.0.12"));
    EXPECT_FALSE(ParseReplySignature("quarn-sig1  " + kTag));
    EXPECT_FALSE(ParseReplySignature("quarn-sig1 198.18.0.12 " + kTag + " x"));
    EXPECT_NE(ReplyTagInput(kChallenge, "a"), ReplyTagInput(kOther, "a"));
}

// A tag of one kind never passes as another, nor for other fields.
TEST(AuthMessages, TagInputsAreDistinct) {
    EXPECT_NE(ProofTagInput(kChallenge, kOther), ProofTagInput(kOther, kChallenge));
    EXPECT_NE(RequestTagInput(kChallenge, kOther, ""), ProofTagInput(kChallenge, kOther));
    EXPECT_NE(RequestTagInput(kChallenge, kOther, " -c 1.2.3.4"),
              RequestTagInput(kChallenge, kOther, " -c 1.2.3.5"));
    EXPECT_NE(RestartTagInput(1, kChallenge), RestartTagInput(2, kChallenge));
}

}  // namespace
}  // namespace quarn::protocol
