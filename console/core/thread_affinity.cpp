#include "console/core/thread_affinity.h"

#include <cstdio>
#include <cstdlib>

namespace quarn::console {

void ThreadAffinity::Violated(const char* where) {
    std::fprintf(stderr, "%s called outside the window thread\n", where);
    std::abort();
}

}  // namespace quarn::console
