#pragma once
// The receive ring between the port's reader thread and the UI thread: one producer (append),
// one consumer (peek, take, discard). Each side writes only its own index and publishes it
// after the bytes it covers are in place, so no lock is needed.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace motion {

class ByteRing {
  public:
    static constexpr size_t kSize = 12288;
    // One slot stays free so that a full ring is never mistaken for an empty one.
    static constexpr size_t kCapacity = kSize - 1;

    // Producer side. Appends the whole chunk, or nothing when it would not fit; returns whether
    // it was stored.
    bool append(const uint8_t* data, size_t count)
    {
        const size_t w = write_.load(std::memory_order_relaxed);
        const size_t r = read_.load(std::memory_order_acquire);
        const size_t used = (w + kSize - r) % kSize;
        if (count > kCapacity - used)
            return false;
        const size_t first = count < kSize - w ? count : kSize - w;
        for (size_t i = 0; i < first; ++i)
            buffer_[w + i] = data[i];
        for (size_t i = first; i < count; ++i)
            buffer_[i - first] = data[i];
        write_.store((w + count) % kSize, std::memory_order_release);
        return true;
    }

    // Consumer side.
    size_t count() const
    {
        const size_t w = write_.load(std::memory_order_acquire);
        const size_t r = read_.load(std::memory_order_relaxed);
        return (w + kSize - r) % kSize;
    }
    // Copies up to maxCount of the oldest bytes without taking them; returns how many.
    size_t peek(uint8_t* out, size_t maxCount) const
    {
        const size_t r = read_.load(std::memory_order_relaxed);
        const size_t available = count();
        const size_t n = available < maxCount ? available : maxCount;
        for (size_t i = 0; i < n; ++i)
            out[i] = buffer_[(r + i) % kSize];
        return n;
    }
    // Takes up to maxCount of the oldest bytes; returns how many.
    size_t take(uint8_t* out, size_t maxCount)
    {
        const size_t n = peek(out, maxCount);
        read_.store((read_.load(std::memory_order_relaxed) + n) % kSize, std::memory_order_release);
        return n;
    }
    // Empties the ring from the consumer's side: the read index catches up with the write
    // index, so an append running at the same moment is either wholly discarded or wholly kept.
    void discardAll() { read_.store(write_.load(std::memory_order_acquire), std::memory_order_release); }

    // Only while no producer runs (before the reader starts, after it was joined).
    void resetUnshared()
    {
        write_.store(0, std::memory_order_relaxed);
        read_.store(0, std::memory_order_relaxed);
    }

  private:
    std::array<uint8_t, kSize> buffer_{};
    std::atomic<size_t> write_{0};
    std::atomic<size_t> read_{0};
};

} // namespace motion
