// Discovery replies as the Console decodes them into its EndPoint list, and the reply
// the EndPoint formats, read back.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "address/ip_address.h"
#include "address/ipv4.h"
#include "console/net/endpoint_collector.h"
#include "platform/socket.h"
#include "platform/text_encoding.h"
#include "protocol/messages.h"
#include "protocol/probe_reply.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using quarn::protocol::ProbeReply;

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Three non-empty fields, each ended by a space, then the name.
std::optional<ProbeReply> ExpectedFields(std::string_view datagram) {
    std::string fields[3];
    std::size_t pos = 0;
    for (std::string& field : fields) {
        while (pos < datagram.size() && datagram[pos] != ' ') {
            field += datagram[pos++];
        }
        if (field.empty() || pos == datagram.size()) {
            return std::nullopt;
        }
        ++pos;
    }
    return ProbeReply{fields[0], fields[1], fields[2], std::string(datagram.substr(pos))};
}

void CheckParse(std::string_view datagram, const std::optional<ProbeReply>& reply) {
    const std::optional<ProbeReply> expected = ExpectedFields(datagram);
    FUZZ_CHECK(reply.has_value() == expected.has_value());
    if (!reply) {
        return;
    }
    FUZZ_CHECK(reply->address == expected->address);
    FUZZ_CHECK(reply->iperfPortText == expected->iperfPortText);
    FUZZ_CHECK(reply->controlPortText == expected->controlPortText);
    FUZZ_CHECK(reply->rawName == expected->rawName);
    FUZZ_CHECK(reply->NameIsUtf8() == (reply->controlPortText == "1555"));
}

void CheckCollector(std::string_view datagram, const std::optional<ProbeReply>& reply) {
    quarn::console::EndPointCollector collector;
    const bool added = collector.Add(datagram);
    const auto address = reply ? quarn::ParseIpAddress(reply->address) : std::nullopt;
    FUZZ_CHECK(added == address.has_value());
    FUZZ_CHECK(collector.Entries().size() == (added ? 1u : 0u));
    if (!added) {
        return;
    }
    FUZZ_CHECK(!collector.Add(datagram));  // the first reply of an address wins
    const quarn::console::EndPointEntry& entry = collector.Entries().front();
    FUZZ_CHECK(entry.address == quarn::FormatIpAddress(*address));
    FUZZ_CHECK(entry.rawName == reply->rawName);
    // Everything shown or saved is valid UTF-8, whatever the bytes were.
    FUZZ_CHECK(quarn::platform::IsValidUtf8(entry.name));
    FUZZ_CHECK(quarn::platform::IsValidUtf8(entry.iperfPortText));
    FUZZ_CHECK(quarn::platform::IsValidUtf8(entry.controlPortText));
    FUZZ_CHECK(entry.label == (entry.rawName.empty() ? "" : "(" + entry.name));
    if (reply->NameIsUtf8() && quarn::platform::IsValidUtf8(reply->rawName)) {
        FUZZ_CHECK(entry.name == reply->rawName);
    }
}

// The EndPoint's own reply for this address and name must fit a datagram, read back the
// same, cut the name only between UTF-8 sequences, and reach the Console's list as sent.
void CheckFormat(const ProbeReply& reply) {
    if (!quarn::ParseIpv4(reply.address)) {
        return;
    }
    const int iperfPort = 5001;
    const int controlPort = 45000;
    const std::string& name = reply.rawName;
    const std::string formatted =
        quarn::protocol::FormatProbeReply(reply.address, iperfPort, controlPort, name);
    FUZZ_CHECK(formatted.size() <= quarn::protocol::kMaxDatagram);
    const std::optional<ProbeReply> back = quarn::protocol::ParseProbeReply(formatted);
    FUZZ_CHECK(back.has_value());
    FUZZ_CHECK(back->address == reply.address);
    FUZZ_CHECK(back->iperfPortText == std::to_string(iperfPort));
    // The mark is the control port, or the UTF-8 mark for a name that needs it.
    FUZZ_CHECK(back->controlPortText == std::to_string(controlPort) || back->NameIsUtf8());
    if (!quarn::platform::IsValidUtf8(name)) {
        return;  // names are UTF-8 inside the program
    }
    const std::string& sent = back->rawName;
    FUZZ_CHECK(name.compare(0, sent.size(), sent) == 0);
    FUZZ_CHECK(sent.size() == name.size() || !IsContinuation(name[sent.size()]));
    FUZZ_CHECK(quarn::platform::IsValidUtf8(sent));

    quarn::console::EndPointCollector collector;
    FUZZ_CHECK(collector.Add(formatted));
    FUZZ_CHECK(collector.Entries().front().name == sent);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view datagram(reinterpret_cast<const char*>(data), size);
    const quarn::protocol::DatagramKind kind = quarn::protocol::ClassifyDatagram(datagram);
    FUZZ_CHECK((kind == quarn::protocol::DatagramKind::Probe) == datagram.starts_with("hello"));
    FUZZ_CHECK((kind == quarn::protocol::DatagramKind::Restart) == datagram.starts_with("restart"));

    const std::optional<ProbeReply> reply = quarn::protocol::ParseProbeReply(datagram);
    CheckParse(datagram, reply);
    CheckCollector(datagram, reply);
    if (reply) {
        CheckFormat(*reply);
    }
    return 0;
}
