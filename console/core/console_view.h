#pragma once

#include <string_view>

namespace quarn::console {

enum class NoticeKind { Completed, Quit, Message, Progress, Info };

// How the core tells the windows (or a headless runner) what to show.
class ConsoleView {
  public:
    virtual ~ConsoleView() = default;
    virtual void ShowNotice(NoticeKind kind, std::string_view text) = 0;
    // The figures of the list changed (a tick was processed, a run started or ended).
    virtual void RedrawList() {}
    // A tick was processed: ticks so far, the run's duration.
    virtual void TickProcessed(int /*ticks*/, int /*duration*/) {}
    // The run mode changed (Idle <-> Measuring); buttons repaint.
    virtual void ModeChanged() {}
    // A line arrived for a row (open log windows refresh).
    virtual void LogChanged(int /*row*/) {}
};

}  // namespace quarn::console
