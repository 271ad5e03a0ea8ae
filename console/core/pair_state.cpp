#include "console/core/pair_state.h"

namespace quarn::console {

std::string_view StatusText(PairState state) {
    switch (state) {
        case PairState::Ready:
            return "Ready";
        case PairState::Running:
            return "Running";
        case PairState::Error:
            return "Error";
        case PairState::Stopped:
            return "Stopped";
        case PairState::Done:
            return "Done";
        case PairState::Inactive:
            return "Inactive";
    }
    return "Ready";
}

}  // namespace quarn::console
