#include "protocol/request_framer.h"

#include "protocol/messages.h"

namespace quarn::protocol {
namespace {

std::string RemoveAll(std::string_view text, std::string_view what) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    for (size_t hit; (hit = text.find(what, pos)) != std::string_view::npos;
         pos = hit + what.size()) {
        out.append(text.substr(pos, hit - pos));
    }
    out.append(text.substr(pos));
    return out;
}

}  // namespace

RequestFramer::Result RequestFramer::Append(std::string_view chunk) {
    if (state_ != NeedMore) {
        return state_;
    }
    buffer_.append(chunk);
    const size_t end = buffer_.find(kCrLf);
    if (end != std::string::npos) {
        state_ = end > kMaxRequestLine ? TooLong : Complete;
    } else if (buffer_.size() > kMaxRequestLine &&
               !(buffer_.size() == kMaxRequestLine + 1 && buffer_.back() == '\r')) {
        // A CR just past the limit may still get its LF.
        state_ = TooLong;
    }
    if (state_ == TooLong) {
        buffer_.clear();
    }
    return state_;
}

std::string RequestFramer::Line() const {
    return RemoveAll(buffer_, kCrLf);
}

bool RequestFramer::IsServerRequest(std::string_view line) {
    return line.starts_with(kServerConfig);
}

std::string RequestFramer::ServerOptions(std::string_view line) {
    return RemoveAll(line, kServerConfig);
}

}  // namespace quarn::protocol
