#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "audio/engine/ffmpeg.h"
#include "audio/engine/internal.h"

namespace snd {

namespace {

// Systems whose threads must be stopped before the process exits: a sound
// error ends the game through exit() with the device still running.
std::atomic<SystemImpl*> liveSystems[8];
std::atomic<bool> exitHookInstalled{false};

void stopOutputsAtExit() {
    for (auto& slot : liveSystems) {
        if (SystemImpl* system = slot.exchange(nullptr)) {
            system->shutDownOutput();
        }
    }
}

void registerLive(SystemImpl* system) {
    if (!exitHookInstalled.exchange(true)) {
        std::atexit(stopOutputsAtExit);
    }
    for (auto& slot : liveSystems) {
        SystemImpl* empty = nullptr;
        if (slot.compare_exchange_strong(empty, system)) {
            return;
        }
    }
}

void unregisterLive(SystemImpl* system) {
    for (auto& slot : liveSystems) {
        SystemImpl* expected = system;
        slot.compare_exchange_strong(expected, nullptr);
    }
}

// Frames a new stream is decoded ahead before playSound returns, so that it
// starts sounding in the very next block.
constexpr int kStreamPrefillFrames = 4096;
// Frames decoded for one channel per hold of the decode lock.
constexpr int kDecodeChunkFrames = 4096;

// Decodes the rest of `decoder`'s file into `pcm`, stereo frames at the mix
// rate; the number of frames.
std::int64_t decodeWhole(Decoder& decoder, std::vector<float>* pcm) {
    constexpr int kChunk = 16384;
    std::int64_t frames = 0;
    for (;;) {
        pcm->resize(static_cast<size_t>(frames + kChunk) * 2);
        int got = decoder.read(pcm->data() + frames * 2, kChunk);
        frames += got;
        if (got < kChunk) {
            break;
        }
    }
    pcm->resize(static_cast<size_t>(frames) * 2);
    pcm->shrink_to_fit();
    return frames;
}

// What tells a file from the one it replaced: its size and modification time.
struct FileStamp {
    std::uintmax_t size = 0;
    std::filesystem::file_time_type modified{};
    bool operator==(const FileStamp& other) const { return size == other.size && modified == other.modified; }
};

bool stampOf(const std::string& path, FileStamp* stamp) {
    std::error_code error;
    const std::filesystem::path file = std::filesystem::u8path(path);
    stamp->size = std::filesystem::file_size(file, error);
    if (error) {
        return false;
    }
    stamp->modified = std::filesystem::last_write_time(file, error);
    return !error;
}

// A file decoded whole ahead of its createSound.
struct DecodedAhead {
    std::string path;      // as createSound will name it
    std::string fullPath;  // in the working folder of the time it was named
    FileStamp stamp;
    std::vector<float> pcm;
    std::int64_t frames = 0;
};

std::mutex aheadMutex;
std::future<std::vector<DecodedAhead>> decodingAhead;  // under aheadMutex
std::vector<DecodedAhead> decodedAhead;                // under aheadMutex

// The sound `path` as decoded ahead, when it was and the file is still the
// one decoded; each is taken once.
bool takeDecodedAhead(const char* path, std::vector<float>* pcm, std::int64_t* frames) {
    std::lock_guard<std::mutex> hold(aheadMutex);
    if (decodingAhead.valid()) {
        decodedAhead = decodingAhead.get();
    }
    for (auto it = decodedAhead.begin(); it != decodedAhead.end(); ++it) {
        if (it->path != path) {
            continue;
        }
        FileStamp now;
        const bool same = stampOf(it->fullPath, &now) && now == it->stamp;
        if (same) {
            *pcm = std::move(it->pcm);
            *frames = it->frames;
        }
        decodedAhead.erase(it);
        return same;
    }
    return false;
}

}  // namespace

void decodeAhead(std::vector<std::string> paths) {
    std::lock_guard<std::mutex> hold(aheadMutex);
    // What an earlier call decoded and nobody took goes.
    if (decodingAhead.valid()) {
        decodingAhead.get();
    }
    decodedAhead.clear();
    std::vector<DecodedAhead> files(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        std::error_code error;
        files[i].path = paths[i];
        files[i].fullPath = std::filesystem::absolute(std::filesystem::u8path(paths[i]), error).u8string();
    }
    decodingAhead = std::async(std::launch::async, [files = std::move(files)]() mutable {
        std::vector<DecodedAhead> decoded;
        for (DecodedAhead& file : files) {
            std::unique_ptr<Decoder> decoder;
            // Stamped first: a file replaced while it is decoded is not taken.
            if (!stampOf(file.fullPath, &file.stamp) || Decoder::open(file.fullPath.c_str(), &decoder) != OK) {
                continue;
            }
            file.frames = decodeWhole(*decoder, &file.pcm);
            if (file.frames > 0) {
                decoded.push_back(std::move(file));
            }
        }
        return decoded;
    });
}

Result createSystem(System** system) {
    if (system == nullptr) {
        return ERR_BAD_ARGUMENT;
    }
    // Broken files are reported through our result codes, not on stderr.
    ff::av_log_set_level(AV_LOG_QUIET);
    auto* created = new (std::nothrow) SystemImpl();
    if (created == nullptr) {
        return ERR_OUT_OF_MEMORY;
    }
    for (int i = 0; i < kMaxChannels; ++i) {
        created->channels[i].owner = created;
        created->channels[i].index = i;
    }
    *system = created;
    return OK;
}

Result System::getVersion(unsigned* version) {
    if (version == nullptr) {
        return ERR_BAD_ARGUMENT;
    }
    const unsigned forced = versionOverride();
    *version = forced != 0 ? forced : kVersion;
    return OK;
}

Result System::init(int maxChannels, unsigned /*flags*/, void* /*extraDriverData*/) {
    SystemImpl* self = impl(this);
    if (self->initialised) {
        return ERR_ALREADY_INITIALISED;
    }
    if (maxChannels < 1 || maxChannels > kMaxChannels) {
        return ERR_BAD_ARGUMENT;
    }
    self->channelCount = maxChannels;
    for (int i = 0; i < maxChannels; ++i) {
        ChannelImpl& channel = self->channels[i];
        channel.history.assign(static_cast<size_t>(kHistoryFrames) * 2, 0.0f);
        channel.historyEnd.store(0);
        channel.historyStart.store(0);
        channel.quietFrames = kHistoryFrames;
    }
    self->mixScratch.assign(static_cast<size_t>(kDeviceBufferFrames) * 2, 0.0f);
    if (!self->analyser.init()) {
        return ERR_OUT_OF_MEMORY;
    }
    self->decodeQuit.store(false);
    self->initialised = true;
    if (offlineRequested()) {
        self->offline = true;
        setOfflineSystem(self);
        return OK;
    }
    for (SoundServer server :
         soundServersToTry(std::getenv("SDL_AUDIODRIVER"), std::getenv("PULSE_SERVER"), std::getenv("PIPEWIRE_REMOTE"))) {
        self->output = server == SoundServer::PipeWire ? openPipeWireOutput(this) : openPulseOutput(this);
        if (self->output != nullptr) {
            break;
        }
    }
    if (self->output == nullptr) {
        self->output = openDeviceOutput(this);
    }
    if (self->output == nullptr) {
        // No card and no sound server: play to a clock instead, so that the
        // game runs the same, only silently.
        self->output = openSilentOutput(this);
    }
    self->decodeThread = std::thread([self] { self->decodeLoop(); });
    registerLive(self);
    return OK;
}

void System::setOutputWatcher(OutputWatcher watcher, void* user) {
    SystemImpl* self = impl(this);
    self->outputWatcher = watcher;
    self->outputWatcherUser = user;
}

void SystemImpl::tellOutput(OutputEvent event, const char* detail) const {
    if (outputWatcher != nullptr) {
        outputWatcher(event, detail, outputWatcherUser);
    }
}

const char* System::outputName() const {
    const SystemImpl* self = static_cast<const SystemImpl*>(this);
    if (self->offline) {
        return "offline";
    }
    return self->output != nullptr ? self->output->name() : "none";
}

Result SystemImpl::openFile(const char* path, Sound** sound, std::unique_ptr<Decoder>* decoder) {
    if (path == nullptr || sound == nullptr) {
        return ERR_BAD_ARGUMENT;
    }
    if (!initialised) {
        return ERR_NOT_INITIALISED;
    }
    return Decoder::open(path, decoder);
}

std::unique_ptr<SoundImpl> SystemImpl::newSound(const char* path, bool stream) {
    auto created = std::make_unique<SoundImpl>();
    created->owner = this;
    created->stream = stream;
    created->path = path;
    return created;
}

SoundImpl* SystemImpl::adopt(std::unique_ptr<SoundImpl> sound) {
    sounds.push_back(std::move(sound));
    return sounds.back().get();
}

Result System::createSound(const char* path, unsigned /*mode*/, void* /*extraInfo*/, Sound** sound) {
    SystemImpl* self = impl(this);
    std::vector<float> pcm;
    std::int64_t frames = 0;
    if (path == nullptr || sound == nullptr || !self->initialised || !takeDecodedAhead(path, &pcm, &frames)) {
        std::unique_ptr<Decoder> decoder;
        Result result = self->openFile(path, sound, &decoder);
        if (result != OK) {
            return result;
        }
        frames = decodeWhole(*decoder, &pcm);
    }
    if (frames == 0) {
        return ERR_NOT_AUDIO;
    }
    auto created = self->newSound(path, false);
    created->pcm = std::move(pcm);
    created->lengthFrames.store(frames);
    *sound = self->adopt(std::move(created));
    return OK;
}

Result System::createStream(const char* path, unsigned /*mode*/, void* /*extraInfo*/, Sound** sound) {
    SystemImpl* self = impl(this);
    std::unique_ptr<Decoder> decoder;
    Result result = self->openFile(path, sound, &decoder);
    if (result != OK) {
        return result;
    }
    std::int64_t frames = 0;
    result = decoder->measure(&frames);
    if (result != OK) {
        return result;
    }
    auto created = self->newSound(path, true);
    created->lengthFrames.store(frames);
    *sound = self->adopt(std::move(created));
    return OK;
}

int SystemImpl::pickChannel() {
    int finished = -1;
    int busy = -1;
    for (int i = 0; i < channelCount; ++i) {
        const ChannelImpl& channel = channels[i];
        const int state = channel.state.load(std::memory_order_relaxed);
        if (state == kIdle) {
            return i;
        }
        if (i == newestStream) {
            continue;  // the song the game is playing is never taken over
        }
        int& best = state == kFinished ? finished : busy;
        if (best < 0 || channel.startSerial < channels[best].startSerial) {
            best = i;
        }
    }
    if (finished >= 0) {
        return finished;
    }
    if (busy >= 0) {
        return busy;
    }
    return newestStream >= 0 ? newestStream : 0;  // a system of one channel
}

Result System::playSound(int channelIndex, Sound* sound, bool paused, Channel** channel) {
    SystemImpl* self = impl(this);
    if (!self->initialised) {
        return ERR_NOT_INITIALISED;
    }
    if (channelIndex != CHANNEL_FREE || sound == nullptr) {
        return ERR_BAD_ARGUMENT;
    }
    SoundImpl* playing = impl(sound);
    const bool known = std::any_of(self->sounds.begin(), self->sounds.end(),
                                   [playing](const std::unique_ptr<SoundImpl>& own) { return own.get() == playing; });
    if (!known) {
        return ERR_BAD_HANDLE;
    }
    std::unique_ptr<Decoder> decoder;
    if (playing->stream) {
        Result result = Decoder::open(playing->path.c_str(), &decoder);
        if (result != OK) {
            return result;
        }
    }
    const int index = self->pickChannel();
    ChannelImpl& target = self->channels[index];
    std::unique_ptr<Decoder> previous;
    {
        std::lock_guard<std::mutex> decodeLock(self->decodeMutex);
        if (playing->stream && !target.ring.allocated()) {
            target.ring.allocate(kStreamRingFrames);  // the mixer reads a ring only while a stream plays
        }
        target.lock.lock();
        previous = std::move(target.decoder);
        target.decoder = std::move(decoder);
        target.decodeDone.store(false, std::memory_order_relaxed);
        target.ring.reset();
        target.sound.store(playing, std::memory_order_relaxed);
        target.framesPlayed.store(0, std::memory_order_relaxed);
        target.paused.store(paused, std::memory_order_relaxed);
        target.volume.store(1.0f, std::memory_order_relaxed);
        target.historyStart.store(target.historyEnd.load(std::memory_order_acquire), std::memory_order_relaxed);
        target.startSerial = ++self->serial;
        target.state.store(kPlaying, std::memory_order_relaxed);
        target.lock.unlock();
        if (playing->stream) {
            self->newestStream = index;
            self->pump(kStreamPrefillFrames, kStreamPrefillFrames);
        } else if (self->newestStream == index) {
            self->newestStream = -1;
        }
    }
    self->decodeWake.notify_one();
    if (channel != nullptr) {
        *channel = &target;
    }
    return OK;
}

void SystemImpl::stopChannel(ChannelImpl& channel) {
    std::unique_ptr<Decoder> previous;
    {
        std::lock_guard<std::mutex> decodeLock(decodeMutex);
        channel.lock.lock();
        previous = std::move(channel.decoder);
        channel.state.store(kIdle, std::memory_order_relaxed);
        channel.sound.store(nullptr, std::memory_order_relaxed);
        channel.paused.store(false, std::memory_order_relaxed);
        channel.framesPlayed.store(0, std::memory_order_relaxed);
        channel.historyStart.store(channel.historyEnd.load(std::memory_order_acquire), std::memory_order_relaxed);
        channel.lock.unlock();
    }
    if (newestStream == channel.index) {
        newestStream = -1;
    }
}

Result System::update() {
    SystemImpl* self = impl(this);
    if (!self->initialised) {
        return ERR_NOT_INITIALISED;
    }
    self->decodeWake.notify_one();
    return OK;
}

void SystemImpl::shutDownOutput() {
    output.reset();
    if (decodeThread.joinable()) {
        {
            std::lock_guard<std::mutex> decodeLock(decodeMutex);
            decodeQuit.store(true);
        }
        decodeWake.notify_one();
        decodeThread.join();
    }
    if (offline && offlineSystem() == this) {
        setOfflineSystem(nullptr);
    }
}

Result System::close() {
    SystemImpl* self = impl(this);
    if (!self->initialised) {
        return ERR_NOT_INITIALISED;
    }
    unregisterLive(self);
    self->shutDownOutput();
    for (int i = 0; i < self->channelCount; ++i) {
        self->stopChannel(self->channels[i]);
    }
    self->offline = false;
    self->initialised = false;
    return OK;
}

Result System::release() {
    SystemImpl* self = impl(this);
    if (self->initialised) {
        close();
    }
    delete self;
    return OK;
}

bool SystemImpl::pump(int ahead, int chunk) {
    bool wantsMore = false;
    for (int i = 0; i < channelCount; ++i) {
        ChannelImpl& channel = channels[i];
        if (channel.decoder == nullptr || channel.decodeDone.load(std::memory_order_relaxed)) {
            continue;
        }
        const int need = std::min(ahead - channel.ring.readable(), chunk);
        if (need <= 0) {
            continue;
        }
        Decoder& decoder = *channel.decoder;
        channel.ring.write(need, [&decoder](float* out, int frames) { return decoder.read(out, frames); });
        std::atomic<std::int64_t>& length = channel.sound.load(std::memory_order_relaxed)->lengthFrames;
        if (decoder.finished()) {
            // From here on the length is what was really decoded, which is
            // exactly where the channel's position will stop.
            length.store(decoder.framesRead());
            channel.decodeDone.store(true, std::memory_order_release);
            channel.decoder.reset();
            continue;
        }
        if (decoder.framesRead() >= length.load(std::memory_order_relaxed)) {
            // The packets promised less than this (damaged ones can lack a
            // duration). Keep the length ahead of the position, or the song
            // would look finished while it still plays.
            length.store(decoder.framesRead() + kMixRate);
        }
        if (channel.ring.readable() < ahead) {
            wantsMore = true;
        }
    }
    return wantsMore;
}

void SystemImpl::decodeLoop() {
    std::unique_lock<std::mutex> decodeLock(decodeMutex);
    while (!decodeQuit.load()) {
        if (pump(kStreamRingFrames, kDecodeChunkFrames)) {
            // Let the game's thread in between chunks.
            decodeLock.unlock();
            std::this_thread::yield();
            decodeLock.lock();
            continue;
        }
        decodeWake.wait_for(decodeLock, std::chrono::milliseconds(5));
    }
}

void System::mix(float* out, int frames) {
    SystemImpl* self = impl(this);
    while (frames > 0) {
        const int block = std::min(frames, kDeviceBufferFrames);
        self->mixBlock(out, block);
        out += static_cast<size_t>(block) * 2;
        frames -= block;
    }
}

void SystemImpl::mixBlock(float* out, int frames) {
    std::memset(out, 0, sizeof(float) * 2 * static_cast<size_t>(frames));
    for (int i = 0; i < channelCount; ++i) {
        mixChannel(channels[i], out, frames);
    }
    for (int i = 0; i < 2 * frames; ++i) {
        out[i] = std::clamp(out[i], -1.0f, 1.0f);
    }
}

namespace {

// Appends `frames` frames of `source` times `gain` (silence when `source` is
// null) to the channel's history.
void recordHistory(ChannelImpl& channel, const float* source, float gain, int frames) {
    if (source == nullptr) {
        if (channel.quietFrames >= kHistoryFrames) {
            return;  // already all silence
        }
        channel.quietFrames += frames;
    } else {
        channel.quietFrames = 0;
    }
    const std::uint64_t end = channel.historyEnd.load(std::memory_order_relaxed);
    float* left = channel.history.data();
    float* right = left + kHistoryFrames;
    for (int i = 0; i < frames; ++i) {
        const size_t at = static_cast<size_t>((end + i) & (kHistoryFrames - 1));
        left[at] = source != nullptr ? source[2 * i] * gain : 0.0f;
        right[at] = source != nullptr ? source[2 * i + 1] * gain : 0.0f;
    }
    channel.historyEnd.store(end + frames, std::memory_order_release);
}

}  // namespace

void SystemImpl::mixChannel(ChannelImpl& channel, float* out, int frames) {
    if (!channel.lock.tryLock()) {
        return;  // the game's thread is giving it a new sound; it joins next block
    }
    int sent = 0;
    if (channel.state.load(std::memory_order_relaxed) == kPlaying && !channel.paused.load(std::memory_order_relaxed)) {
        const SoundImpl* sound = channel.sound.load(std::memory_order_relaxed);
        const float gain = channel.volume.load(std::memory_order_relaxed);
        const std::int64_t position = channel.framesPlayed.load(std::memory_order_relaxed);
        const float* source = nullptr;
        bool ended = false;
        if (sound->stream) {
            sent = channel.ring.read(mixScratch.data(), frames);
            source = mixScratch.data();
            ended = sent < frames && channel.decodeDone.load(std::memory_order_acquire) && channel.ring.readable() == 0;
        } else {
            const std::int64_t left = sound->lengthFrames.load(std::memory_order_relaxed) - position;
            sent = static_cast<int>(std::min<std::int64_t>(frames, left));
            source = sound->pcm.data() + position * 2;
            ended = position + sent >= sound->lengthFrames.load(std::memory_order_relaxed);
        }
        for (int i = 0; i < 2 * sent; ++i) {
            out[i] += source[i] * gain;
        }
        if (sent > 0) {
            recordHistory(channel, source, gain, sent);
        }
        channel.framesPlayed.store(position + sent, std::memory_order_release);
        if (ended) {
            channel.state.store(kFinished, std::memory_order_release);
        }
    }
    recordHistory(channel, nullptr, 0.0f, frames - sent);
    channel.lock.unlock();
}

}  // namespace snd
