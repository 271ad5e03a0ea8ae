#pragma once

#include <string>
#include <string_view>

namespace quarn::protocol {

// Assembles one request line from received chunks until a CR LF arrives.
class RequestFramer {
  public:
    enum Result { NeedMore, Complete, TooLong };

    // Once Complete or TooLong, further chunks are ignored.
    Result Append(std::string_view chunk);

    // Everything received with every CR LF removed. Text after the first CR LF in the same
    // chunk stays part of the line, as the agent always treated it.
    std::string Line() const;

    static bool IsServerRequest(std::string_view line);
    // The line with every "server_config" removed.
    static std::string ServerOptions(std::string_view line);

  private:
    std::string buffer_;
    Result state_ = NeedMore;
};

}  // namespace quarn::protocol
