// SPDX-License-Identifier: MIT
// A growable byte array for decoded samples that have not been delivered yet. Growing leaves
// the new bytes uninitialised (they are scratch space for the next decoder read); the
// capacity only ever rises, so a reader settles on one allocation after its first calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace sova::mpg123 {
class SampleBuffer {
public:
    uint8_t* Data() { return bytes_.get(); }
    const uint8_t* Data() const { return bytes_.get(); }
    size_t Length() const { return length_; }
    size_t Capacity() const { return capacity_; }
    bool Empty() const { return length_ == 0; }

    // Makes room for at least `bytes` bytes without changing the length.
    void Reserve(size_t bytes) {
        if (bytes <= capacity_) return;
        auto larger = std::make_unique_for_overwrite<uint8_t[]>(bytes);
        if (length_ != 0) std::memcpy(larger.get(), bytes_.get(), length_);
        bytes_ = std::move(larger);
        capacity_ = bytes;
    }

    // Lengthens the buffer by `bytes`; the new bytes hold nothing meaningful yet. Growth beyond
    // the capacity at least doubles it, so repeated growth stays amortised.
    void Grow(size_t bytes) {
        const size_t wanted = length_ + bytes;
        if (wanted > capacity_) Reserve(wanted > 2 * capacity_ ? wanted : 2 * capacity_);
        length_ = wanted;
    }

    // Cuts the buffer back to `bytes` (no more than its length).
    void Truncate(size_t bytes) {
        if (bytes < length_) length_ = bytes;
    }

    // Removes the first `bytes` bytes, keeping the rest in order.
    void Consume(size_t bytes) {
        if (bytes >= length_) {
            length_ = 0;
            return;
        }
        std::memmove(bytes_.get(), bytes_.get() + bytes, length_ - bytes);
        length_ -= bytes;
    }

private:
    std::unique_ptr<uint8_t[]> bytes_;
    size_t length_ = 0;
    size_t capacity_ = 0;
};
} // namespace sova::mpg123
