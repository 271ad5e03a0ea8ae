#include "firewall/firewall.h"

namespace quarn::firewall {

// Linux firewalls are set up by the administrator (nftables, ufw), not by programs at start.
void RegisterFirewallExceptions(std::string_view /*programName*/) {}

}  // namespace quarn::firewall
