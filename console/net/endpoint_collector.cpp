#include "console/net/endpoint_collector.h"

#include <set>

#include <string>

#include "console/net/link_facts_reply.h"
#include "platform/socket.h"
#include "platform/text_encoding.h"
#include "protocol/auth_messages.h"
#include "protocol/endpoint_facts.h"
#include "protocol/probe_reply.h"

namespace quarn::console {
namespace {

constexpr const char* kWindowsCodePage = "CP949";

// The text an EndPoint's address is listed under; nothing for one that is no address.
std::optional<std::string> ListedAddress(std::string_view text, const std::string& zone) {
    std::optional<IpAddress> address = ParseIpAddress(text);
    if (!address)
        return std::nullopt;
    if (address->IsV6() && address->IsLinkLocal() && address->Zone().empty() && !zone.empty())
        address = IpAddress::V6(address->V6Bytes(), zone);
    return FormatIpAddress(*address);
}

// Whether a reply from source may list `listed` in a signed search: its own address, or
// over IPv6 from a link-local source, which is how a neighbour answers the all-nodes
// group whatever address it announces. The signature still decides what is verified.
bool SpeaksFor(const IpAddress& source, const std::string& listed) {
    if (FormatIpAddress(source) == listed)
        return true;
    const std::optional<IpAddress> address = ParseIpAddress(listed);
    return source.IsV6() && source.IsLinkLocal() && address && address->IsV6() &&
           !address->IsV4Mapped();
}

}  // namespace

std::string DecodeEndPointName(std::string_view rawName, bool nameIsUtf8) {
    if (nameIsUtf8 && platform::IsValidUtf8(rawName)) {
        return std::string(rawName);
    }
    if (std::optional<std::string> local = platform::AnsiToUtf8Strict(rawName)) {
        return *local;
    }
    // Not our character set: an EndPoint on Windows sent it in its 8-bit code page, which
    // for the names we meet is the Korean one.
    if (std::optional<std::string> korean = platform::ToUtf8Strict(rawName, kWindowsCodePage)) {
        return *korean;
    }
    return platform::AnsiToUtf8(rawName);
}

// Every IPv6 host has a link-local address, so a named EndPoint heard at an address of
// its own over IPv4 or a routable IPv6 one would else be listed twice, once as fe80::.
void EndPointCollector::FoldLinkLocalTwins() {
    const auto linkLocal = [](const EndPointEntry& entry) {
        return IsIpv6LinkLocalText(entry.address);
    };
    std::set<std::string> routableNames;
    for (const EndPointEntry& entry : entries_) {
        if (!entry.rawName.empty() && !linkLocal(entry))
            routableNames.insert(entry.rawName);
    }
    std::erase_if(entries_, [&](const EndPointEntry& entry) {
        return linkLocal(entry) && routableNames.contains(entry.rawName);
    });
}

std::vector<EndPointEntry> EndPointCollector::Take() {
    FoldLinkLocalTwins();
    MarkUnverified();
    known_.clear();
    replies_.clear();
    tags_.clear();
    return std::move(entries_);
}

void EndPointCollector::MarkUnverified() {
    if (!signed_) {
        return;
    }
    for (EndPointEntry& entry : entries_) {
        const auto tag = tags_.find(entry.address);
        const std::optional<std::string> bytes =
            tag == tags_.end() ? std::nullopt : labkey::FromHex(tag->second);
        entry.unverified =
            !bytes || !signed_->key.Verifies(
                          protocol::ReplyTagInput(signed_->nonce, replies_[entry.address]), *bytes);
    }
}

bool EndPointCollector::Add(std::string_view datagram, uint32_t source) {
    return Add(datagram, IpAddress::V4(source));
}

bool EndPointCollector::Add(std::string_view datagram, const IpAddress& source) {
    const std::string zone = source.IsV6() ? source.Zone() : std::string();
    // A link's facts are not signed: they describe, they do not list anything.
    if (datagram.starts_with(protocol::kFactsProbe)) {
        AddLink(datagram, zone);
        return false;
    }
    if (!signed_) {
        return AddReply(datagram, zone);
    }
    if (const auto signature = protocol::ParseReplySignature(datagram)) {
        // Only for a reply already listed, from the host it names.
        const std::optional<std::string> named = ListedAddress(signature->address, zone);
        if (named && SpeaksFor(source, *named) && known_.count(*named) > 0) {
            tags_.emplace(*named, signature->tag);
        }
        return false;
    }
    const std::optional<protocol::ProbeReply> reply = protocol::ParseProbeReply(datagram);
    const std::optional<std::string> named =
        reply ? ListedAddress(reply->address, zone) : std::nullopt;
    if (!named || !SpeaksFor(source, *named) || !AddReply(datagram, zone)) {
        return false;
    }
    replies_.emplace(*named, std::string(datagram));
    return true;
}

void EndPointCollector::AddLink(std::string_view datagram, const std::string& zone) {
    std::optional<AddressLink> reply = ParseLinkFactsReply(datagram);
    const std::optional<std::string> address =
        reply ? ListedAddress(reply->address, zone) : std::nullopt;
    if (!address || links_.contains(*address))
        return;
    for (EndPointEntry& entry : entries_) {
        if (entry.address == *address)
            entry.link = reply->link;
    }
    links_.emplace(*address, std::move(reply->link));
}

bool EndPointCollector::Add(std::string_view datagram) {
    if (datagram.starts_with(protocol::kFactsProbe)) {
        AddLink(datagram, {});
        return false;
    }
    return AddReply(datagram, {});
}

bool EndPointCollector::AddReply(std::string_view datagram, const std::string& zone) {
    std::optional<protocol::ProbeReply> reply = protocol::ParseProbeReply(datagram);
    const std::optional<std::string> address =
        reply ? ListedAddress(reply->address, zone) : std::nullopt;
    if (!address || entries_.size() >= kMaxEntries || !known_.insert(*address).second) {
        return false;
    }
    EndPointEntry entry;
    entry.address = *address;
    entry.iperfPortText = platform::AnsiToUtf8(reply->iperfPortText);
    entry.controlPortText = platform::AnsiToUtf8(reply->controlPortText);
    entry.rawName = reply->rawName;
    if (!entry.rawName.empty()) {
        entry.name = DecodeEndPointName(entry.rawName, reply->NameIsUtf8());
        entry.label = "(" + entry.name;
    }
    if (const auto link = links_.find(entry.address); link != links_.end())
        entry.link = link->second;
    entries_.push_back(std::move(entry));
    return true;
}

}  // namespace quarn::console
