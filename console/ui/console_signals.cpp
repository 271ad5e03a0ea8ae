#include "console/ui/console_signals.h"

#include "widgets/text.h"

namespace quarn::console::ui {

void ConsoleSignals::ShowNotice(NoticeKind kind, std::string_view text) {
    emit noticeRequested(kind, widgets::FromUtf8(text));
}

}  // namespace quarn::console::ui
