#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quarn::protocol {

// The authenticated control exchange, one line each way before the request, every value
// in lower-case hexadecimal:
//   requester: "quarn-auth1 <its challenge>"
//   EndPoint:  "quarn-auth1 <its challenge> <proof>" with a key, "quarn-auth1 none" without
//   requester: "quarn-req1 <tag> <request line>" to a keyed EndPoint, the plain request
//              line to one without a key
// An older EndPoint closes on the first line, as on any line it does not know; an older
// requester never sends it, and a keyed EndPoint answers its plain request with
// kLabKeyRequired, a text older Consoles show as the pair's cause.
inline constexpr std::string_view kAuthHello = "quarn-auth1";
inline constexpr std::string_view kAuthRequest = "quarn-req1";
inline constexpr std::string_view kAuthNone = "none";
inline constexpr std::string_view kLabKeyRequired = "refused: lab key required";
inline constexpr std::string_view kLabKeyMismatch = "refused: lab key does not match";
// Challenges are 16 bytes, tags 32 (HMAC-SHA256).
inline constexpr std::size_t kChallengeHexDigits = 32;
inline constexpr std::size_t kTagHexDigits = 64;

struct AuthChallenge {
    bool unkeyed = false;  // "none": the EndPoint has no key
    std::string challenge;
    std::string proof;
};

struct AuthRequest {
    std::string tag;
    std::string request;  // the plain request line, without CR LF
};

// Each without CR LF.
std::string FormatAuthHello(std::string_view challenge);
std::string FormatAuthChallenge(std::string_view challenge, std::string_view proof);
std::string FormatAuthNone();
std::string FormatAuthRequest(std::string_view tag, std::string_view request);

bool IsAuthHello(std::string_view line);
// nullopt unless the line is exactly the message with hexadecimal values of their length.
std::optional<std::string> ParseAuthHello(std::string_view line);
std::optional<AuthChallenge> ParseAuthChallenge(std::string_view line);
std::optional<AuthRequest> ParseAuthRequest(std::string_view line);

// What the tags are computed over: a label of their own, then the fields, so that no tag
// of one kind passes as another.
std::string ProofTagInput(std::string_view requesterChallenge, std::string_view endPointChallenge);
std::string RequestTagInput(std::string_view requesterChallenge, std::string_view endPointChallenge,
                            std::string_view request);

// An authenticated restart: "restart quarn1 <unix seconds> <nonce> <tag>". Older
// EndPoints take any datagram starting with "restart" for a bare one.
inline constexpr std::string_view kAuthRestartPrefix = "restart quarn1 ";

struct AuthRestart {
    long long unixSeconds = 0;
    std::string nonce;
    std::string tag;
};

std::string FormatAuthRestart(long long unixSeconds, std::string_view nonce, std::string_view tag);
std::optional<AuthRestart> ParseAuthRestart(std::string_view datagram);
std::string RestartTagInput(long long unixSeconds, std::string_view nonce);

// Signed discovery. A keyed Console probes with "hello quarn1 <nonce>", which older
// EndPoints take for "hello"; a keyed EndPoint follows each reply with
// "quarn-sig1 <address> <tag>", tagged over the nonce and the reply, which older Consoles
// drop (its first field is no address).
inline constexpr std::string_view kSignedProbePrefix = "hello quarn1 ";
inline constexpr std::string_view kReplySignature = "quarn-sig1";

struct ReplySignature {
    std::string address;
    std::string tag;
};

std::string FormatSignedProbe(std::string_view nonce);
// The nonce of a signed probe; nullopt for a plain "hello" or anything else.
std::optional<std::string> ParseSignedProbe(std::string_view datagram);
std::string FormatReplySignature(std::string_view address, std::string_view tag);
std::optional<ReplySignature> ParseReplySignature(std::string_view datagram);
std::string ReplyTagInput(std::string_view nonce, std::string_view reply);

// Hexadecimal digits only, exactly length of them.
bool IsHexOfLength(std::string_view text, std::size_t length);

}  // namespace quarn::protocol
