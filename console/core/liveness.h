#pragma once

#include <functional>
#include <memory>
#include <utility>

namespace quarn::console {

// Held by an object whose results reach the window thread through queued calls. A call
// wrapped by Guard runs only while the holder still exists, so a result that arrives after
// its receiver is gone is dropped instead of touching freed memory. Guard may be called on
// any thread while the token exists; guarded calls must run on the thread that destroys
// the holder or calls Expire (the window thread).
class Liveness {
  public:
    Liveness() : alive_(std::make_shared<char>()), watch_(alive_) {}
    Liveness(const Liveness&) = delete;
    Liveness& operator=(const Liveness&) = delete;

    // Wraps `call` so that it does nothing once this token (or its holder) is gone.
    template <typename Call>
    auto Guard(Call call) const {
        return [alive = watch_, call = std::move(call)](auto&&... args) mutable {
            if (alive.lock()) {
                call(std::forward<decltype(args)>(args)...);
            }
        };
    }

    // Ends the holder's life early (for example before joining a worker that may still post).
    void Expire() { alive_.reset(); }

  private:
    std::shared_ptr<char> alive_;
    const std::weak_ptr<char> watch_;  // never changed, so copying it needs no lock
};

}  // namespace quarn::console
