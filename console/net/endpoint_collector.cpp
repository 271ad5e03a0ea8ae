#include "console/net/endpoint_collector.h"

#include <string>

#include "address/ipv4.h"
#include "console/net/link_facts_reply.h"
#include "platform/socket.h"
#include "platform/text_encoding.h"
#include "protocol/auth_messages.h"
#include "protocol/endpoint_facts.h"
#include "protocol/probe_reply.h"

namespace quarn::console {
namespace {

constexpr const char* kWindowsCodePage = "CP949";

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

std::vector<EndPointEntry> EndPointCollector::Take() {
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
    // A link's facts are not signed: they describe, they do not list anything.
    if (!signed_ || datagram.starts_with(protocol::kFactsProbe)) {
        return Add(datagram);
    }
    const std::string from = FormatIpv4(source);
    if (const auto signature = protocol::ParseReplySignature(datagram)) {
        // Only for a reply already listed, from the host it names.
        if (signature->address == from && known_.count(from) > 0) {
            tags_.emplace(from, signature->tag);
        }
        return false;
    }
    const std::optional<protocol::ProbeReply> reply = protocol::ParseProbeReply(datagram);
    if (!reply || reply->address != from || !Add(datagram)) {
        return false;
    }
    replies_.emplace(from, std::string(datagram));
    return true;
}

void EndPointCollector::AddLink(std::string_view datagram) {
    std::optional<AddressLink> reply = ParseLinkFactsReply(datagram);
    if (!reply || links_.contains(reply->address))
        return;
    for (EndPointEntry& entry : entries_) {
        if (entry.address == reply->address)
            entry.link = reply->link;
    }
    links_.emplace(reply->address, std::move(reply->link));
}

bool EndPointCollector::Add(std::string_view datagram) {
    if (datagram.starts_with(protocol::kFactsProbe)) {
        AddLink(datagram);
        return false;
    }
    std::optional<protocol::ProbeReply> reply = protocol::ParseProbeReply(datagram);
    if (!reply || !ParseIpv4(reply->address) || entries_.size() >= kMaxEntries ||
        !known_.insert(reply->address).second) {
        return false;
    }
    EndPointEntry entry;
    entry.address = reply->address;
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
