#include "tests/unit/console_net/loopback_peer.h"

#include "protocol/messages.h"

namespace quarn::console::testing {

LoopbackPeer::LoopbackPeer(Script script)
    : listener_(platform::TcpListen(kLoopback, 0, 4)), port_(platform::LocalPort(listener_)) {
    thread_ = std::thread([this, script = std::move(script)] {
        platform::Socket connection = platform::Accept(listener_);
        if (connection.Valid() && platform::SetRecvTimeout(connection, 5000)) {
            script(connection);
        }
    });
}

LoopbackPeer::~LoopbackPeer() {
    listener_.ShutdownBoth();  // wakes an accept that never got a connection
    Join();
}

void LoopbackPeer::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::string ReadRequestLine(const platform::Socket& connection) {
    std::string line;
    char byte = 0;
    while (line.find("\r\n") == std::string::npos &&
           platform::Receive(connection, &byte, 1).status == platform::RecvStatus::Data) {
        line += byte;
    }
    return line;
}

bool AwaitPeerClose(const platform::Socket& connection) {
    char buffer[256];
    for (;;) {
        platform::RecvResult received = platform::Receive(connection, buffer, sizeof buffer);
        if (received.status == platform::RecvStatus::TimedOut) {
            return false;
        }
        if (received.status != platform::RecvStatus::Data) {
            return true;
        }
    }
}

LoopbackResponder::LoopbackResponder(std::vector<std::string> replies)
    : replies_(std::move(replies)),
      socket_(platform::UdpBind(kLoopback, 0, false)),
      port_(platform::LocalPort(socket_)) {
    platform::SetRecvTimeout(socket_, 50);
    thread_ = std::thread([this] { Serve(); });
}

LoopbackResponder::~LoopbackResponder() {
    stop_ = true;
    thread_.join();
}

void LoopbackResponder::Serve() {
    while (!stop_) {
        const platform::DatagramResult received =
            platform::ReceiveFrom(socket_, protocol::kMaxDatagram);
        if (received.status != platform::RecvStatus::Data) {
            continue;
        }
        const platform::Datagram* datagram = &received.datagram;
        switch (protocol::ClassifyDatagram(datagram->data)) {
            case protocol::DatagramKind::Probe:
                ++probes_;
                for (const std::string& reply : replies_) {
                    platform::SendTo(socket_, reply, datagram->addr, datagram->port);
                }
                break;
            case protocol::DatagramKind::Restart:
                ++restarts_;
                break;
            case protocol::DatagramKind::Other:
                break;
        }
    }
}

}  // namespace quarn::console::testing
