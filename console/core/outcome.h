#pragma once

#include <optional>
#include <string>
#include <utility>

namespace quarn::console {

// Why a call could not do its work, in the operator's words; every Result takes it.
struct WhyNot {
    std::string why;
};

// The answer of a call that either gives its value or says, in the operator's words, why
// it could not: no empty-string-means-success convention, no out-parameters for callers to
// remember.
template <typename T>
class [[nodiscard]] Result {
  public:
    Result(T value) : value_(std::move(value)) {}  // NOLINT: a value is a success
    Result(WhyNot failure) : why_(std::move(failure.why)) {}
    static Result Failed(std::string why) { return Result(WhyNot{std::move(why)}); }

    bool Ok() const { return value_.has_value(); }
    explicit operator bool() const { return Ok(); }
    // The text to show; empty when Ok().
    const std::string& Why() const { return why_; }
    // The value; only when Ok().
    const T& Value() const& { return *value_; }
    T& Value() & { return *value_; }
    T&& Value() && { return std::move(*value_); }
    const T* operator->() const { return &*value_; }
    T* operator->() { return &*value_; }
    const T& operator*() const { return *value_; }

  private:
    std::optional<T> value_;
    std::string why_;
};

// A call that gives nothing back beyond having done its work.
template <>
class [[nodiscard]] Result<void> {
  public:
    Result(WhyNot failure) : why_(std::move(failure.why)), failed_(true) {}
    static Result Done() { return Result(); }
    static Result Failed(std::string why) { return Result(WhyNot{std::move(why)}); }

    bool Ok() const { return !failed_; }
    explicit operator bool() const { return Ok(); }
    // The text to show; empty when Ok().
    const std::string& Why() const { return why_; }

  private:
    Result() = default;

    std::string why_;
    bool failed_ = false;
};

using Outcome = Result<void>;

}  // namespace quarn::console
