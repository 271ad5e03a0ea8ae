#pragma once

#include <QString>
#include <string_view>

namespace quarn::widgets {

// The core's UTF-8 text as a QString.
inline QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace quarn::widgets
