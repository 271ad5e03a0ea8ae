#include "console/ui/console_signals.h"

#include <cstdio>

#include "widgets/text.h"

namespace quarn::console::ui {

void ConsoleSignals::ShowNotice(NoticeKind kind, std::string_view text) {
    emit noticeRequested(kind, widgets::FromUtf8(text));
}

void ConsoleSignals::RecordsNoted(std::string_view note) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(note.size()), note.data());
}

}  // namespace quarn::console::ui
