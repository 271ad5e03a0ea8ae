// The agent's request path: bytes from a control connection go through the framer, then
// the line is checked as a server request or a client command before iperf sees it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "address/ip_address.h"
#include "address/ipv4.h"
#include "platform/socket.h"
#include "protocol/client_command.h"
#include "protocol/command_validation.h"
#include "protocol/messages.h"
#include "protocol/request_framer.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using quarn::protocol::RequestFramer;
using Tokens = std::vector<std::string>;

std::string WithoutCrLf(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

struct Framed {
    RequestFramer::Result result = RequestFramer::NeedMore;
    std::string line;
    std::size_t consumed = 0;  // bytes handed over until the framer decided
};

// Feeds the stream in chunks of the given sizes (cycled) as recv would deliver it.
Framed Frame(std::string_view stream, const std::vector<std::size_t>& sizes) {
    RequestFramer framer;
    Framed framed;
    std::size_t pos = 0;
    for (std::size_t k = 0; pos < stream.size(); ++k) {
        const std::size_t size = std::min(sizes[k % sizes.size()], stream.size() - pos);
        framed.result = framer.Append(stream.substr(pos, size));
        pos += size;
        if (framed.result != RequestFramer::NeedMore) {
            // Once decided, more chunks change nothing.
            FUZZ_CHECK(framer.Append("x\r\n") == framed.result);
            break;
        }
    }
    framed.consumed = pos;
    if (framed.result == RequestFramer::Complete) {
        framed.line = framer.Line();
    }
    return framed;
}

// What the framer must decide for the whole stream, whatever its chunking.
RequestFramer::Result Expected(std::string_view stream) {
    const std::size_t limit = quarn::protocol::kMaxRequestLine;
    const std::size_t end = stream.find("\r\n");
    if (end != std::string_view::npos) {
        return end <= limit ? RequestFramer::Complete : RequestFramer::TooLong;
    }
    if (stream.size() <= limit || (stream.size() == limit + 1 && stream.back() == '\r')) {
        return RequestFramer::NeedMore;
    }
    return RequestFramer::TooLong;
}

// Tokens that reach iperf's argv: no empty, blank, control or 8-bit bytes.
void CheckArgvSafe(const Tokens& tokens) {
    for (const std::string& token : tokens) {
        FUZZ_CHECK(!token.empty());
        for (const char c : token) {
            FUZZ_CHECK(c > ' ' && c < 0x7f);
        }
    }
}

void CheckServerOptions(std::string_view options) {
    const std::optional<Tokens> tokens = quarn::protocol::ValidateServerOptions(options);
    if (!tokens) {
        return;
    }
    CheckArgvSafe(*tokens);
    const Tokens udp = {"-s", "-u", "-f", "m", "-i", "1"};
    const Tokens tcp = {"-s", "-f", "m", "-i", "1"};
    if (*tokens == udp || *tokens == tcp) {
        return;
    }
    FUZZ_CHECK(tokens->size() == tcp.size() + 2);
    FUZZ_CHECK(Tokens(tokens->begin(), tokens->begin() + 5) == tcp);
    FUZZ_CHECK((*tokens)[5] == "-w" && quarn::protocol::IsIperfSize((*tokens)[6]));
}

void CheckClientCommand(std::string_view line) {
    const std::optional<Tokens> tokens = quarn::protocol::ValidateClientCommand(line);
    if (!tokens) {
        return;
    }
    CheckArgvSafe(*tokens);
    std::string peer;
    int peers = 0;
    bool udp = false;
    for (std::size_t i = 0; i < tokens->size(); ++i) {
        const std::string& option = (*tokens)[i];
        if (option == "-u") {
            udp = true;
            continue;
        }
        FUZZ_CHECK(option == "-c" || option == "-i" || option == "-t" || option == "-P" ||
                   option == "-b" || option == "-w" || option == "-f" || option == "-S" ||
                   option == "-l" || option == "-M");
        FUZZ_CHECK(i + 1 < tokens->size());
        const std::string& value = (*tokens)[++i];
        // The longest value is an IPv6 address written out in full.
        FUZZ_CHECK(value.size() <= 39);
        if (option == "-c") {
            peer = value;
            ++peers;
            FUZZ_CHECK(quarn::ParseIpv4(value).has_value() || quarn::ParseIpv6(value).has_value());
        }
        if (option == "-f") {
            FUZZ_CHECK(value == "m");
        }
    }
    FUZZ_CHECK(peers == 1);

    // End Point 1 asks End Point 2 for a server with what it found in the command; the
    // peer's agent must accept that request and agree on the protocol.
    const quarn::protocol::CommandScan scan = quarn::protocol::ScanCommand(line);
    FUZZ_CHECK(scan.peer == peer);
    FUZZ_CHECK(scan.udp == udp);
    const std::string request = quarn::protocol::ServerRequestFor(scan);
    RequestFramer framer;
    FUZZ_CHECK(framer.Append(request) == RequestFramer::Complete);
    const std::string serverLine = framer.Line();
    FUZZ_CHECK(RequestFramer::IsServerRequest(serverLine));
    const std::string options = RequestFramer::ServerOptions(serverLine);
    const std::optional<Tokens> server = quarn::protocol::ValidateServerOptions(options);
    FUZZ_CHECK(server.has_value());
    const bool serverUdp = std::find(server->begin(), server->end(), "-u") != server->end();
    FUZZ_CHECK(serverUdp == udp);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view stream(reinterpret_cast<const char*>(data), size);
    const RequestFramer::Result expected = Expected(stream);

    // One chunk, the agent's receive size, and small uneven chunks from the stream's size.
    const std::vector<std::vector<std::size_t>> chunkings = {
        {stream.size() + 1},
        {quarn::protocol::kRequestChunk},
        {1 + size % 7, 1 + size % 13, 1, 2 + size % 31}};
    std::optional<std::string> line;
    for (const std::vector<std::size_t>& sizes : chunkings) {
        const Framed framed = Frame(stream, sizes);
        FUZZ_CHECK(framed.result == expected);
        if (framed.result == RequestFramer::Complete) {
            // The line is what arrived up to the end of the chunk holding the CR LF.
            FUZZ_CHECK(framed.line == WithoutCrLf(stream.substr(0, framed.consumed)));
            if (sizes.size() == 1 && sizes[0] > stream.size()) {
                line = framed.line;
            }
        }
    }
    if (!line) {
        return 0;
    }
    if (RequestFramer::IsServerRequest(*line)) {
        CheckServerOptions(RequestFramer::ServerOptions(*line));
    } else {
        CheckClientCommand(*line);
    }
    return 0;
}
