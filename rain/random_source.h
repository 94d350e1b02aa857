#pragma once

#include <cstdint>

// The C runtime's rand(): state * 214013 + 2531011, result bits 16-30.
// Kept as an explicit object so each thread owns its sequence (the runtime keeps
// one per thread) and tests can replay exact sequences.
class RandomSource {
public:
    static constexpr int kMax = 32767;

    explicit RandomSource(uint32_t seed = 1) : state_(seed) {}

    void Reseed(uint32_t seed) { state_ = seed; }

    int Next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFFu);
    }

    uint32_t State() const { return state_; }

private:
    uint32_t state_;
};
