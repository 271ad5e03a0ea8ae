#include "endpoint/agent/identity.h"

#include "address/ipv4.h"
#include "platform/socket.h"
#include "platform/text_encoding.h"
#include "protocol/probe_reply.h"

namespace quarn::agent {

std::string FormatAddressText(std::optional<uint32_t> primary,
                              const std::vector<platform::Adapter>& adapters) {
    const std::string primaryText = primary ? FormatIpv4(*primary) : "0.0.0.0";
    std::string text = primaryText;
    for (const platform::Adapter& adapter : adapters) {
        const std::string address = FormatIpv4(adapter.address);
        if (address != primaryText) {
            text += " / " + address;
        }
    }
    return text;
}

bool NameIsTooLong(const std::string& name) {
    return protocol::CountCharacters(name) > protocol::kMaxNameCharacters;
}

bool IsAcceptableName(const std::string& name) {
    if (name.empty() || !platform::IsValidUtf8(name) || NameIsTooLong(name)) {
        return false;
    }
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

std::string AddressTextOf(const AddressLists& lists) {
    return FormatAddressText(lists.primary, lists.adapters);
}

Identity::Identity(const std::string& storeDir)
    : store_(storeDir.empty() ? platform::NameStore::DefaultDir() : storeDir) {}

std::string Identity::NameFrom(const std::optional<std::string>& stored) const {
    // A longer name stored by hand is used as far as it may be announced.
    return stored ? std::string(protocol::LimitCharacters(*stored, protocol::kMaxNameCharacters))
                  : platform::ComputerName();
}

std::string Identity::InitialName() {
    lastStored_ = store_.Load();
    return NameFrom(lastStored_);
}

std::optional<std::string> Identity::StoredNameChange() {
    std::optional<std::string> stored = store_.Load();
    if (stored == lastStored_) {
        return std::nullopt;
    }
    lastStored_ = std::move(stored);
    return NameFrom(lastStored_);
}

bool Identity::Save(const std::string& name) {
    const bool saved = store_.Save(name);
    if (saved) {
        lastStored_ = name;
    }
    return saved;
}

std::string Identity::Reset() {
    store_.Remove();
    lastStored_ = store_.Load();
    return NameFrom(lastStored_);
}

}  // namespace quarn::agent
