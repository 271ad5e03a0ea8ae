#include "platform/link_info.h"

namespace quarn::platform {

LinkInfo ReadLinkInfo(const std::string& interfaceName) {
    return ReadLinkInfoFrom("/sys/class/net", interfaceName);
}

}  // namespace quarn::platform
