#pragma once

#include <string>
#include <string_view>

namespace quarn::platform {

// Names the calling thread, so that a look at the process (ps, /proc/PID/task/*/comm, a
// debugger, Wine's own threads listing) tells its threads apart. Cut to the 15 bytes Linux
// keeps. Best effort: a system without thread names leaves the thread unnamed.
void NameThisThread(std::string_view name);

// The calling thread's name as the system keeps it; empty when it has none or cannot say.
std::string ThisThreadName();

}  // namespace quarn::platform
