#include "protocol/messages.h"

namespace quarn::protocol {

DatagramKind ClassifyDatagram(std::string_view datagram) {
    if (datagram.starts_with(kProbe)) {
        return DatagramKind::Probe;
    }
    if (datagram.starts_with(kRestart)) {
        return DatagramKind::Restart;
    }
    return DatagramKind::Other;
}

}  // namespace quarn::protocol
