#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/process_table.h"

namespace quarn::platform {

// Our iperf children carry "QUARN_IPERF_OWNER=<role>:<owner pid>" in their environment,
// so a later instance finds the strays it left and never touches anything else.
inline constexpr std::string_view kOwnerMarkerName = "QUARN_IPERF_OWNER";

std::string OwnerMarkerEnv(std::string_view role);

// Owner pid recorded in a marker value "<role>:<pid>" when the role matches.
std::optional<pid_t> MarkerOwner(std::string_view markerValue, std::string_view role);

// A process is a stray when it carries our marker for this role and its recorded owner is
// no longer its parent (the owner died and it was re-parented).
bool IsStray(const ProcessInfo& process, std::optional<std::string> marker, std::string_view role);

// Kills our own marked children running iperfPath. Returns the number killed.
int KillOwnChildren(const std::string& iperfPath, std::string_view role);
// Kills marked iperf processes of this role whose owner is gone. Returns the number killed.
int KillStrays(const std::string& iperfPath, std::string_view role);
// Both of the above in one walk of the process table. Returns the number killed.
int KillOwnChildrenAndStrays(const std::string& iperfPath, std::string_view role);

}  // namespace quarn::platform
