#pragma once

#include <functional>

namespace quarn::console {

// Runs calls on the main (user-interface) thread. Worker threads use Send for lines and
// worker ends (the worker waits until the main thread has run it) and Post for the end
// of a search. Once closed, Send and Post return at once without running anything, so
// threads blocked on the main thread can always be joined after Close.
class Dispatcher {
  public:
    virtual ~Dispatcher() = default;
    virtual void Send(const std::function<void()>& call) = 0;
    virtual void Post(std::function<void()> call) = 0;
    virtual void Close() = 0;
};

}  // namespace quarn::console
