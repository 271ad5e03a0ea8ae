#include "platform/child_process.h"

// What every system does alike; the system calls are in child_process_{linux,win}.cpp.
namespace quarn::platform {

ChildProcess::~ChildProcess() {
    Reset();
}

void ChildProcess::Reset() {
    Terminate();
    CloseFds();
    pid_ = -1;
    reaped_ = false;
    waitStatus_ = -1;
}

}  // namespace quarn::platform
