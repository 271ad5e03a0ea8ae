#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "endpoint/agent/address_snapshot.h"
#include "platform/adapters.h"
#include "platform/name_store.h"

namespace quarn::agent {

// The address text: the primary address ("0.0.0.0" without one), then " / " and each
// other qualifying adapter address in the adapters' order.
std::string FormatAddressText(std::optional<uint32_t> primary,
                              const std::vector<platform::Adapter>& adapters);

// The address text of these lists.
std::string AddressTextOf(const AddressLists& lists);

// A display name must be non-empty UTF-8 without control characters (a line break would
// end the stored line and split printed lines) and at most protocol::kMaxNameCharacters
// characters long.
bool IsAcceptableName(const std::string& name);
bool NameIsTooLong(const std::string& name);

// The display name: the stored name, else the computer name. Follows changes of the
// stored name made by another process (for example "Quarn_EndPoint --set-name").
// Not thread-safe: one owner thread, or the caller's lock.
class Identity {
  public:
    explicit Identity(const std::string& storeDir);

    // The name to use at start.
    std::string InitialName();
    // A new name when the stored one changed since it was last seen.
    std::optional<std::string> StoredNameChange();
    // Stores the name; the name is used even when it cannot be stored.
    bool Save(const std::string& name);
    // Removes the stored name and returns the computer name.
    std::string Reset();

  private:
    std::string NameFrom(const std::optional<std::string>& stored) const;

    platform::NameStore store_;
    std::optional<std::string> lastStored_;
};

}  // namespace quarn::agent
