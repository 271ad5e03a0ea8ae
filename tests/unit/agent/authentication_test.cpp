// The authenticated exchange against a real agent on loopback, and the restart rules.
#include "endpoint/agent/authentication.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "labkey/control_handshake.h"
#include "labkey/lab_key.h"
#include "protocol/auth_messages.h"
#include "tests/unit/agent/agent_harness.h"

namespace quarn::agent_test {
namespace {

using labkey::Handshake;
using labkey::LabKey;
using test_support::ReadUntilClosed;

constexpr std::chrono::milliseconds kLimit{3000};
const std::string kTcpLine = kTcpRequest.substr(0, kTcpRequest.size() - 2);

LoopbackAgent KeyedAgent(const LabKey& key) {
    return LoopbackAgent([&key](agent::AgentConfig& config) { config.labKey = key; });
}

platform::Socket Connect(LoopbackAgent& agent) {
    return test_support::ConnectLoopback(agent.ControlPort());
}

// The line the agent sends next, without its CR LF.
std::string NextLine(const platform::Socket& connection) {
    std::string line = test_support::ReadUntilContains(connection, "\r\n", 3000).data;
    return line.substr(0, line.find("\r\n"));
}

TEST(KeyedEndPoint, ServesOnlyRequestsTaggedWithItsKey) {
    FakeIperfScript script("server *: listen; hang");
    const LabKey key = LabKey::Generate();
    LoopbackAgent agent = KeyedAgent(key);

    // An older Console's plain request: refused with a cause it shows, nothing started.
    const auto plain = ReadUntilClosed(agent.Send(kTcpRequest), 3000);
    EXPECT_TRUE(plain.closed);
    EXPECT_EQ(plain.data, "refused: lab key required\r\n");

    // Another key: the EndPoint's proof does not verify, so nothing is sent at all.
    const platform::Socket other = Connect(agent);
    EXPECT_EQ(labkey::SendWithKey(other, LabKey::Generate(), kTcpLine, kLimit),
              Handshake::KeyMismatch);
    EXPECT_TRUE(script.Starts().empty());

    const platform::Socket good = Connect(agent);
    ASSERT_EQ(labkey::SendWithKey(good, key, kTcpLine, kLimit), Handshake::Authenticated);
    EXPECT_EQ(ReadReply(good), "ok;5001\r\n");
    EXPECT_EQ(script.Starts().size(), 1u);
}

// A stranger who answers the challenge with a made-up tag, or replays a tag captured from
// an earlier exchange (whose challenge was another), is refused.
TEST(KeyedEndPoint, ForgedAndReplayedTagsAreRefused) {
    FakeIperfScript script("server *: listen; hang");
    const LabKey key = LabKey::Generate();
    LoopbackAgent agent = KeyedAgent(key);
    const std::string ours(32, 'a');

    const platform::Socket first = Connect(agent);
    platform::SendAll(first, protocol::FormatAuthHello(ours) + "\r\n");
    const auto challenge = protocol::ParseAuthChallenge(NextLine(first));
    ASSERT_TRUE(challenge);
    const std::string tag =
        labkey::ToHex(key.Tag(protocol::RequestTagInput(ours, challenge->challenge, kTcpLine)));
    const std::string captured = protocol::FormatAuthRequest(tag, kTcpLine) + "\r\n";
    platform::SendAll(first, captured);
    EXPECT_EQ(ReadReply(first), "ok;5001\r\n");

    const platform::Socket replay = Connect(agent);
    platform::SendAll(replay, protocol::FormatAuthHello(ours) + "\r\n");
    ASSERT_TRUE(protocol::ParseAuthChallenge(NextLine(replay)));
    platform::SendAll(replay, captured);
    EXPECT_EQ(ReadUntilClosed(replay, 3000).data, "refused: lab key does not match\r\n");

    const platform::Socket forged = Connect(agent);
    platform::SendAll(forged, protocol::FormatAuthHello(ours) + "\r\n");
    NextLine(forged);
    platform::SendAll(forged, protocol::FormatAuthRequest(std::string(64, '0'), kTcpLine) + "\r\n");
    EXPECT_EQ(ReadUntilClosed(forged, 3000).data, "refused: lab key does not match\r\n");

    const platform::Socket untagged = Connect(agent);
    platform::SendAll(untagged, protocol::FormatAuthHello(ours) + "\r\n");
    NextLine(untagged);
    platform::SendAll(untagged, kTcpRequest);
    EXPECT_EQ(ReadUntilClosed(untagged, 3000).data, "refused: lab key required\r\n");
    EXPECT_EQ(script.Starts().size(), 1u);
}

// A keyed requester still works with an EndPoint without a key, on the same connection.
TEST(UnkeyedEndPoint, AnswersTheOpeningAndServesThePlainRequest) {
    FakeIperfScript script("server *: listen; hang");
    LoopbackAgent agent;
    const platform::Socket connection = Connect(agent);
    EXPECT_EQ(labkey::SendWithKey(connection, LabKey::Generate(), kTcpLine, kLimit),
              Handshake::PeerUnkeyed);
    EXPECT_EQ(ReadReply(connection), "ok;5001\r\n");
    // A malformed opening is closed without text, like any unknown line.
    const auto bad = ReadUntilClosed(agent.Send("quarn-auth1 xyz\r\n"), 3000);
    EXPECT_TRUE(bad.closed);
    EXPECT_EQ(bad.data, "");
}

class RestartRules : public ::testing::Test {
  protected:
    std::string Signed(long long time, const std::string& nonce, const LabKey& key) {
        return protocol::FormatAuthRestart(
            time, nonce, labkey::ToHex(key.Tag(protocol::RestartTagInput(time, nonce))));
    }
    const long long now_ = 1796000000;
    const LabKey key_ = LabKey::Generate();
    const std::optional<LabKey> keyed_ = key_;
    const std::string nonce_ = std::string(32, 'b');
};

TEST_F(RestartRules, WithoutAKeyEveryRestartCounts) {
    const std::optional<LabKey> none;
    agent::RestartGuard guard(none);
    EXPECT_TRUE(guard.Allows("restart", now_));
    EXPECT_TRUE(guard.Allows("restart", now_));
}

// The Console's three copies act once; a bare one, a forged one, a stale one or a replay
// does not act at all.
TEST_F(RestartRules, WithAKeyEachAuthenticatedRestartActsOnce) {
    agent::RestartGuard guard(keyed_);
    EXPECT_FALSE(guard.Allows("restart", now_));
    const std::string restart = Signed(now_, nonce_, key_);
    EXPECT_TRUE(guard.Allows(restart, now_));
    EXPECT_FALSE(guard.Allows(restart, now_));
    EXPECT_FALSE(guard.Allows(restart, now_ + 5));
    EXPECT_FALSE(guard.Allows(Signed(now_, nonce_, LabKey::Generate()), now_));
    EXPECT_FALSE(guard.Allows(Signed(now_ - 31, std::string(32, 'c'), key_), now_));
    EXPECT_FALSE(guard.Allows(Signed(now_ + 31, std::string(32, 'c'), key_), now_));
    EXPECT_TRUE(guard.Allows(Signed(now_ + 30, std::string(32, 'c'), key_), now_));
    // Once outside the window the old restart is refused for its time, not remembered.
    EXPECT_FALSE(guard.Allows(restart, now_ + 100));
    EXPECT_TRUE(guard.Allows(Signed(now_ + 100, nonce_, key_), now_ + 100));
}

}  // namespace
}  // namespace quarn::agent_test
