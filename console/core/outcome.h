#pragma once

#include <string>
#include <utility>

namespace quarn::console {

// The answer of a call that either does its work or says, in the operator's words, why it
// could not: no empty-string-means-success convention for callers to remember.
class [[nodiscard]] Outcome {
  public:
    static Outcome Done() { return Outcome(); }
    static Outcome Failed(std::string why) { return Outcome(std::move(why)); }

    bool Ok() const { return !failed_; }
    explicit operator bool() const { return Ok(); }
    // The text to show; empty when Ok().
    const std::string& Why() const { return why_; }

  private:
    Outcome() = default;
    explicit Outcome(std::string why) : why_(std::move(why)), failed_(true) {}

    std::string why_;
    bool failed_ = false;
};

}  // namespace quarn::console
