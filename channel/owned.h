#pragma once
// One owner for every kind of handle: Owned<Traits> holds a Traits::Value and
// frees it once, through Traits::Free, when it goes or is reset. A move hands
// the hold over; the owner moved from frees nothing. Traits::Value is small
// and copyable.
#include <utility>

namespace vorlen {

template <class Traits>
class Owned {
 public:
  using Value = typename Traits::Value;

  Owned() = default;
  explicit Owned(const Value& value) : value_(value), owned_(true) {}
  ~Owned() { reset(); }
  Owned(Owned&& other) noexcept
      : value_(other.value_), owned_(std::exchange(other.owned_, false)) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) {
      reset();
      value_ = other.value_;
      owned_ = std::exchange(other.owned_, false);
    }
    return *this;
  }

  explicit operator bool() const { return owned_; }
  const Value* operator->() const { return &value_; }
  // Gives up the hold without freeing.
  Value release() {
    owned_ = false;
    return value_;
  }
  void reset() {
    if (std::exchange(owned_, false)) Traits::Free(value_);
  }

 private:
  Value value_{};
  bool owned_ = false;
};

}  // namespace vorlen
