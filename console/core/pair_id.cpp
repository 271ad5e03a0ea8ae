#include "console/core/pair_id.h"

#include <atomic>

namespace quarn::console {

PairId PairId::Next() {
    static std::atomic<std::uint64_t> last{0};
    return PairId(last.fetch_add(1, std::memory_order_relaxed) + 1);
}

}  // namespace quarn::console
