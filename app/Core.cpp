// Construction and destruction of the central object.

#include "app/Core.h"

#include "platform/system.h"
#include "platform/timer.h"

Core::Core() {
    // musicList is empty and the banner 400 x 100 at the top from the member
    // initialisers; the banner spans the whole display.
    screenWidth = plat::getSystemMetrics(plat::SM_CXSCREEN);
    screenHeight = plat::getSystemMetrics(plat::SM_CYSCREEN);
    play.banner.width = static_cast<float>(screenWidth);

    // The scalar defaults are the member initialisers of the class.

    std::int64_t frequency = 0;
    if (plat::queryPerformanceFrequency(&frequency) && frequency > 0) {
        std::int64_t count = 0;
        plat::queryPerformanceCounter(&count);
        timerLast = count;
        timerScale = 1.0 / static_cast<double>(frequency);
        timerFn = &Core::readPerformanceTimer;
    } else {
        timerLast = static_cast<std::int64_t>(plat::timeGetTime());
        timerScale = 0.001;
        timerFn = &Core::readMillisecondTimer;
    }

    for (int k = 0; k < 256; ++k) {
        play.keys[k] = false;
        play.keyLatch[k] = false;
    }
}

Core::~Core() {
    shutdown();
}
