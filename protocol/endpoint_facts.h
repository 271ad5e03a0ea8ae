#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quarn::protocol {

// What an EndPoint has and can do, asked for with its own probe word, which EndPoints that
// do not know it ignore (it is no "hello"); the "hello" reply stays as it is. The reply is
// the word and key=value tokens, one reply per announced address:
//   "facts addr=198.18.0.11 if=eth0 speed=10000 duplex=full mtu=1500 wireless=0"
// Keys a reader does not know are skipped, so later capabilities are simply more keys.
inline constexpr std::string_view kFactsProbe = "facts";

using Facts = std::vector<std::pair<std::string, std::string>>;

// The probe exactly; nothing longer, so a future probe word may start with it.
bool IsFactsProbe(std::string_view datagram);

// Values are cut to kMaxFactValue bytes and percent-escape blanks, '%', '=' and control
// characters, so a token never splits; keys are taken as they are.
inline constexpr std::size_t kMaxFactValue = 64;
inline constexpr std::size_t kMaxFacts = 32;
std::string FormatFactsReply(const Facts& facts);

// nullopt unless the datagram is the word, a blank and tokens. Tokens without '=' or with
// an empty key are skipped; at most kMaxFacts are kept.
std::optional<Facts> ParseFactsReply(std::string_view datagram);

// The first value of `key`.
std::optional<std::string> FactValue(const Facts& facts, std::string_view key);

// The link keys.
inline constexpr std::string_view kFactAddress = "addr";
inline constexpr std::string_view kFactInterface = "if";
inline constexpr std::string_view kFactSpeed = "speed";    // Mbit/s
inline constexpr std::string_view kFactDuplex = "duplex";  // "full", "half"
inline constexpr std::string_view kFactMtu = "mtu";
inline constexpr std::string_view kFactWireless = "wireless";  // "1", "0"

// The traffic options the EndPoint's client and server take, comma-separated, e.g.
// "takes=dscp,length,mss". An EndPoint without the key takes none of them.
inline constexpr std::string_view kFactTakes = "takes";
inline constexpr std::string_view kTakesDscp = "dscp";      // -S
inline constexpr std::string_view kTakesLength = "length";  // -l
inline constexpr std::string_view kTakesMss = "mss";        // -M
// What this build's EndPoint announces.
inline constexpr std::string_view kTakenOptions = "dscp,length,mss";

// The names listed in a "takes" value; empty names are skipped.
std::vector<std::string> TakenOptions(std::string_view value);

}  // namespace quarn::protocol
