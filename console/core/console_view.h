#pragma once

#include <chrono>
#include <string_view>
#include <vector>

#include "console/core/pair_id.h"

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
    virtual void TickProcessed(int /*ticks*/, std::chrono::seconds /*duration*/) {}
    // The run mode changed (Idle <-> Measuring); buttons repaint.
    virtual void ModeChanged() {}
    // A line arrived for a pair (its open log window refreshes).
    virtual void LogChanged(PairId /*pair*/) {}
    // A processed tick marked the last line of these pairs counted (their open log
    // windows refresh too, not only the one whose line completed the tick).
    virtual void LogsCounted(const std::vector<PairId>& /*pairs*/) {}
    // A run was set up: rows reset, workers started, mode Measuring (the list drops its
    // selection, open log windows go live). Comes before the ModeChanged of the start.
    virtual void RunStarted() {}
    // What the run's records have to say beside the notices (a journal that cannot be
    // written, waits for a slow disk): a line for the operator's terminal.
    virtual void RecordsNoted(std::string_view /*note*/) {}
    // A save or open went to its worker (true; the mode is FileBusy meanwhile) or has
    // reported (false).
    virtual void FileBusyChanged(bool /*busy*/) {}
    // What the chart shows changed (the widget repaints).
    virtual void ChartChanged() {}
    // A save or open has finished and the data are updated (opened: a file was read into
    // them); comes before the notice of its result.
    virtual void FileFinished(bool /*opened*/) {}
    // The run set against the current one was set or cleared.
    virtual void ReferenceChanged() {}
    // The table changed (rows added, deleted or pasted, edited, exchanged, activated or
    // inactivated): open log windows follow their pairs.
    virtual void TableChanged() {}
    // A search in the background has ended, its result applied (the mode is Idle again);
    // its notice comes next.
    virtual void SearchEnded() {}
    // A run has ended and been judged: data.judgement is set, the verdicts are in the logs.
    virtual void RunJudged() {}
};

}  // namespace quarn::console
