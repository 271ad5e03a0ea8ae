#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quarn::platform {

// The EndPoint's display name in "<dir>/endpoint.conf" as one line "EndPoint_Name=<name>".
class NameStore {
  public:
    explicit NameStore(std::string dir);

    // $QUARN_CONFIG_HOME, else $XDG_CONFIG_HOME/quarn, else ~/.config/quarn.
    static std::string DefaultDir();

    // nullopt when the file or the value is missing or the value is empty.
    std::optional<std::string> Load() const;
    // Atomic: writes a temporary file and renames it; creates the folder.
    bool Save(std::string_view name) const;
    // True when no stored name remains.
    bool Remove() const;

    std::string FilePath() const;

  private:
    static bool Storable(std::string_view name);
    // The whole file for a stored name.
    static std::string Content(std::string_view name);

    std::string dir_;
};

// Host name, at most 24 characters.
std::string ComputerName();

}  // namespace quarn::platform
