#pragma once

// Lock-free rings shared by exactly one writing and one reading thread, in
// stereo frames, plus the try-lock that guards a channel's change of sound.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace snd {

// Decoder thread writes, mixer reads. reset() only while neither side runs.
class FrameRing {
public:
    void allocate(int capacityFrames) {  // a power of two
        data.assign(static_cast<size_t>(capacityFrames) * 2, 0.0f);
        mask = static_cast<std::uint64_t>(capacityFrames) - 1;
        reset();
    }
    bool allocated() const { return !data.empty(); }
    void reset() {
        head.store(0, std::memory_order_relaxed);
        tail.store(0, std::memory_order_relaxed);
    }
    int readable() const {
        return static_cast<int>(head.load(std::memory_order_acquire) - tail.load(std::memory_order_relaxed));
    }
    int writable() const {
        return static_cast<int>(mask + 1 - (head.load(std::memory_order_relaxed) - tail.load(std::memory_order_acquire)));
    }

    // The writer fills the contiguous space `fill(dst, frames)` is given, at
    // most `frames` frames, and says how many it wrote.
    template <typename Fill>
    int write(int frames, Fill fill) {
        frames = std::min(frames, writable());
        std::uint64_t at = head.load(std::memory_order_relaxed);
        int written = 0;
        while (written < frames) {
            size_t index = static_cast<size_t>((at + written) & mask);
            int run = std::min(frames - written, static_cast<int>(mask + 1 - index));
            int got = fill(data.data() + index * 2, run);
            written += got;
            if (got < run) {
                break;
            }
        }
        head.store(at + written, std::memory_order_release);
        return written;
    }

    int read(float* out, int frames) {
        frames = std::min(frames, readable());
        std::uint64_t at = tail.load(std::memory_order_relaxed);
        int done = 0;
        while (done < frames) {
            size_t index = static_cast<size_t>((at + done) & mask);
            int run = std::min(frames - done, static_cast<int>(mask + 1 - index));
            std::memcpy(out + static_cast<size_t>(done) * 2, data.data() + index * 2, sizeof(float) * 2 * run);
            done += run;
        }
        tail.store(at + done, std::memory_order_release);
        return done;
    }

private:
    std::vector<float> data;
    std::uint64_t mask = 0;
    std::atomic<std::uint64_t> head{0};
    std::atomic<std::uint64_t> tail{0};
};

// The game's thread spins on it for the few stores a change of sound takes;
// the mixer only ever tries it and leaves the channel for the next block.
class TryLock {
public:
    bool tryLock() { return !flag.test_and_set(std::memory_order_acquire); }
    void lock() {
        while (!tryLock()) {
            std::this_thread::yield();
        }
    }
    void unlock() { flag.clear(std::memory_order_release); }

private:
    std::atomic_flag flag = ATOMIC_FLAG_INIT;
};

}  // namespace snd
