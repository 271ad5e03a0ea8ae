#pragma once

#include <string_view>

namespace quarn::firewall {

// Start-up entry that lets the program and iperf through the host firewall.
void RegisterFirewallExceptions(std::string_view programName);

}  // namespace quarn::firewall
