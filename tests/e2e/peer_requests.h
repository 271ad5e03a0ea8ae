#pragma once

#include <string>
#include <vector>

#include "platform/socket.h"
#include "tests/support/test_network.h"

namespace quarn::e2e {

// A control connection made from inside a host, with text already sent on it (invalid
// when the EndPoint cannot be reached).
platform::Socket Request(const test_support::TestNetwork& network, int fromHost,
                         const std::string& address, const std::string& text);

// A TCP server request; its first reply line ("ok;5001\r\n"), empty when none came.
std::string ServerRequestReply(const test_support::TestNetwork& network, int fromHost,
                               const std::string& address, platform::Socket& connection);

// Sends one datagram to the discovery port of target (an address or the broadcast
// address) and collects the replies, sorted.
std::vector<std::string> Probe(const test_support::TestNetwork& network, int fromHost,
                               const std::string& target, const std::string& word, int collectMs);

// The replies waiting on socket within a short while.
int CountReplies(const platform::Socket& socket);

int CountOccurrences(const std::string& text, const std::string& fragment);

}  // namespace quarn::e2e
