#pragma once

#include <chrono>
#include <functional>
#include <vector>

#include "console/core/outcome.h"
#include "console/core/shared_bottleneck.h"
#include "console/session/console_session.h"

namespace quarn::console {

// Measures one phase with the session's data as set up: starts the session's run and
// returns once it is back in Idle mode, with why not when the run was refused, failed or
// was stopped. The front end owns the waiting (its own event loop).
using MeasurePhase = std::function<Outcome()>;

// Runs each active pair alone for `phase`, then all of them together for `phase`, each a
// run of its own through `measure` (and so each in the history), and finds the pairs that
// share a bottleneck. The pairs' activity and the duration are given back afterwards;
// the table then holds the together run. Refused with why when there are fewer than two
// active pairs or a phase did not complete. On the session's main thread, in Idle mode.
Result<IsolationResult> RunIsolation(ConsoleSession& session, std::chrono::seconds phase,
                                     const MeasurePhase& measure);

// The terminal's account: the table of alone and together figures, then each group,
// "pairs 1, 3 and 5 share about 940 Mbit/s", or that none was found.
std::string FormatIsolation(const IsolationResult& result);

}  // namespace quarn::console
