#include "console/net/line_splitter.h"

namespace quarn::console {

void LineSplitter::Feed(std::string_view chunk, const LineHandler& onLine) {
    size_t searchFrom = pending_.size();  // pending_ holds no LF
    pending_.append(chunk);
    size_t lineStart = 0;
    for (size_t lf = pending_.find('\n', searchFrom); lf != std::string::npos;
         lf = pending_.find('\n', lineStart)) {
        onLine(std::string_view(pending_).substr(lineStart, lf - lineStart));
        lineStart = lf + 1;
    }
    pending_.erase(0, lineStart);
    if (pending_.size() >= kMaxLineBytes) {
        onLine(pending_);
        pending_.clear();
    }
}

}  // namespace quarn::console
