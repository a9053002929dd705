// The frame clock and the frame-rate counter.

#include "app/Core.h"
#include "platform/timer.h"

double Core::readPerformanceTimer() {
    std::int64_t count = 0;
    plat::queryPerformanceCounter(&count);
    const double elapsed = static_cast<double>(count - timerLast) * timerScale;
    timerLast = count;
    return elapsed;
}

double Core::readMillisecondTimer() {
    const std::uint32_t now = plat::timeGetTime();
    // The millisecond time wraps after 49.7 days; the 32-bit difference stays right across the wrap.
    const std::uint32_t elapsed = now - static_cast<std::uint32_t>(timerLast);
    timerLast = static_cast<std::int64_t>(now);
    return static_cast<double>(elapsed) * timerScale;
}

void Core::countFrame() {
    fpsSeconds += frameTime;
    if (fpsSeconds > 0.5) {
        fps = static_cast<float>(fpsFrames / fpsSeconds);
        fpsSeconds = 0.0;
        fpsFrames = 0.0;
    }
    // The frame that passed the half second is counted into the next interval.
    fpsFrames += 1.0;
}
