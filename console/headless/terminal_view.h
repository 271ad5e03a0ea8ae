#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "console/core/console_data.h"
#include "console/core/console_view.h"

namespace quarn::console {

// Shows a run on a terminal: the progress of every processed second and every notice.
// On a terminal the progress is one line rewritten in place (tick, total, time left); to
// a pipe or file it is one line per second, which scripts read. Remembers the last notice
// for the exit status.
class TerminalView : public ConsoleView {
  public:
    // `interactive` defaults to whether `out` is a terminal.
    TerminalView(const ConsoleData& data, std::FILE* out,
                 std::optional<bool> interactive = std::nullopt);

    void ShowNotice(NoticeKind kind, std::string_view text) override;
    void TickProcessed(int ticks, std::chrono::seconds duration) override;
    // A line of its own on the notes stream.
    void RecordsNoted(std::string_view note) override;
    void SetNotesStream(std::FILE* notes) { notes_ = notes; }

    NoticeKind LastNoticeKind() const { return lastKind_; }
    const std::string& LastNotice() const { return lastNotice_; }
    // Called after each processed second (the CSV writer hooks in here).
    std::function<void(int ticks)> onTick;

  private:
    void EndProgressLine();

    const ConsoleData& data_;
    std::FILE* out_;
    std::FILE* notes_ = stderr;
    bool interactive_;
    bool progressOpen_ = false;
    NoticeKind lastKind_ = NoticeKind::Info;
    std::string lastNotice_;
};

// Text from the network or a file made safe for a terminal: control characters (C0, DEL
// and C1, which start escape sequences) written as "\xNN"; with `keepNewlines` a line
// break stays one.
std::string TerminalSafe(std::string_view text, bool keepNewlines = false);
// "H:MM:SS" of a number of seconds (negative counts as 0).
std::string FormatTimeLeft(int seconds);
// `text` filled with spaces to `width` columns (never cut), for the tables' columns.
std::string Padded(std::string text, std::size_t width);

// "EP1 -> EP2" of a pair as the table shows it: names where the pair shows them, and the
// streams of a TCP pair with more than one.
std::string PairEnds(const ConsoleData& data, const PairRecord& row);
// The table of pairs with their final figures, as printed after a run or for a saved file.
std::string FormatPairTable(const ConsoleData& data);
// "Pair1 traffic: DSCP EF, length 200 bytes" for each pair with options, under the table.
std::string FormatTrafficLines(const ConsoleData& data);
// The EndPoints found by a search, one per line with their names.
std::string FormatEndPointList(const ConsoleData& data);
// Under the table: why each failed pair failed, "PairN: Error at ...".
std::string FormatFailureCauses(const ConsoleData& data);

}  // namespace quarn::console
