// An owned Core Foundation reference: released once when the owner goes, never copied, so that
// every Create or Copy result is released exactly once and a borrowed one is retained to keep.
#pragma once

#include <utility>

#include "apple_sdk.h"

namespace platform::macos {

template <class Ref>
class Owned {
  public:
    Owned() = default;
    /// Takes over a reference the caller owns (a Create or Copy result); null is allowed.
    explicit Owned(Ref ref) : ref_(ref) {}
    ~Owned() { reset(); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& other) noexcept : ref_(std::exchange(other.ref_, nullptr)) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            reset();
            ref_ = std::exchange(other.ref_, nullptr);
        }
        return *this;
    }

    /// Retains a borrowed reference (a Get result) to keep it.
    static Owned retained(Ref borrowed) {
        if (borrowed != nullptr) {
            sdk::CFRetain(borrowed);
        }
        return Owned(borrowed);
    }

    Ref get() const { return ref_; }
    explicit operator bool() const { return ref_ != nullptr; }
    /// Gives the reference up to a caller that takes ownership.
    Ref release() { return std::exchange(ref_, nullptr); }

  private:
    void reset() {
        if (ref_ != nullptr) {
            sdk::CFRelease(ref_);
            ref_ = nullptr;
        }
    }

    Ref ref_ = nullptr;
};

}  // namespace platform::macos
