#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/engine/internal.h"

namespace snd {

Result Sound::getLength(unsigned* length, unsigned timeUnit) {
    if (length == nullptr) {
        return ERR_BAD_ARGUMENT;
    }
    const std::int64_t frames = impl(this)->lengthFrames.load(std::memory_order_acquire);
    if (timeUnit == TIMEUNIT_MS) {
        *length = static_cast<unsigned>(frames * 1000 / kMixRate);
    } else if (timeUnit == TIMEUNIT_FRAMES) {
        *length = static_cast<unsigned>(frames);
    } else {
        return ERR_BAD_ARGUMENT;
    }
    return OK;
}

Result Sound::release() {
    SoundImpl* self = impl(this);
    SystemImpl* system = self->owner;
    for (ChannelImpl& channel : system->channels) {
        if (channel.sound.load(std::memory_order_relaxed) == self) {
            system->stopChannel(channel);
        }
    }
    auto& sounds = system->sounds;
    sounds.erase(std::remove_if(sounds.begin(), sounds.end(),
                                [self](const std::unique_ptr<SoundImpl>& own) { return own.get() == self; }),
                 sounds.end());
    return OK;
}

Result Channel::setPaused(bool paused) {
    impl(this)->paused.store(paused, std::memory_order_relaxed);
    return OK;
}

Result Channel::getPaused(bool* paused) {
    if (paused == nullptr) {
        return ERR_BAD_ARGUMENT;
    }
    *paused = impl(this)->paused.load(std::memory_order_relaxed);
    return OK;
}

Result Channel::setVolume(float volume) {
    if (std::isnan(volume)) {
        return ERR_BAD_ARGUMENT;
    }
    impl(this)->volume.store(std::clamp(volume, 0.0f, 1.0f), std::memory_order_relaxed);
    return OK;
}

Result Channel::getVolume(float* volume) {
    if (volume == nullptr) {
        return ERR_BAD_ARGUMENT;
    }
    *volume = impl(this)->volume.load(std::memory_order_relaxed);
    return OK;
}

Result Channel::getPosition(unsigned* position, unsigned timeUnit) {
    ChannelImpl* self = impl(this);
    if (position == nullptr || (timeUnit != TIMEUNIT_MS && timeUnit != TIMEUNIT_FRAMES)) {
        return ERR_BAD_ARGUMENT;
    }
    if (self->state.load(std::memory_order_acquire) == kIdle) {
        return ERR_CHANNEL_IDLE;
    }
    const std::int64_t frames = self->framesPlayed.load(std::memory_order_acquire);
    *position = static_cast<unsigned>(timeUnit == TIMEUNIT_MS ? frames * 1000 / kMixRate : frames);
    return OK;
}

Result Channel::getCurrentSound(Sound** sound) {
    ChannelImpl* self = impl(this);
    if (sound == nullptr) {
        return ERR_BAD_ARGUMENT;
    }
    if (self->state.load(std::memory_order_acquire) == kIdle) {
        return ERR_CHANNEL_IDLE;
    }
    *sound = self->sound.load(std::memory_order_relaxed);
    return OK;
}

Result Channel::isPlaying(bool* playing) {
    if (playing == nullptr) {
        return ERR_BAD_ARGUMENT;
    }
    *playing = impl(this)->state.load(std::memory_order_acquire) == kPlaying;
    return OK;
}

Result Channel::stop() {
    ChannelImpl* self = impl(this);
    self->owner->stopChannel(*self);
    return OK;
}

Result Channel::getSpectrum(float* out, int count, int offset, int window) {
    ChannelImpl* self = impl(this);
    if (out == nullptr || !SpectrumAnalyser::validCount(count) || offset < 0 || offset > 1 ||
        (window != WINDOW_TRIANGLE && window != WINDOW_RECTANGLE)) {
        return ERR_BAD_ARGUMENT;
    }
    if (scriptedSpectrum(out, count)) {
        return OK;
    }
    SystemImpl* system = self->owner;
    if (!system->initialised || self->state.load(std::memory_order_acquire) == kIdle ||
        self->paused.load(std::memory_order_relaxed)) {
        std::memset(out, 0, sizeof(float) * static_cast<size_t>(count));  // sends nothing, so nothing to see
        return OK;
    }
    system->analyser.run(self->history.data() + static_cast<size_t>(offset) * kHistoryFrames, kHistoryFrames, self->historyStart.load(std::memory_order_relaxed),
                         self->historyEnd.load(std::memory_order_acquire), count, window, out);
    return OK;
}

}  // namespace snd
