#include "audio/Audio.h"

#include <cstring>

Audio audio;

namespace {

constexpr float kBinWidthHz = 2.9296875f;  // 24000 Hz / 8192 bins, whatever the song's rate
constexpr float kPeakFloor = 0.01f;

// The three sound effects, under the working folder.
constexpr const char* kBlockHitFile = "resources/Sounds/blockHit.mp3";
constexpr const char* kBonusHitFile = "resources/Sounds/bonusHit.mp3";
constexpr const char* kSkullHitFile = "resources/Sounds/SkullHit.mp3";

// The engine's news of its output, told on its output thread: the lines go
// to the log through a handler of that thread's own.
ErrorHandler outputLog;

void logOutput(snd::OutputEvent event, const char* detail, void*) {
    if (event == snd::OutputEvent::Lost) {
        outputLog.log("#Sound Output Lost: %s", detail);
    } else {
        outputLog.log("#Sound Output Back: %s", detail);
    }
}

// A call on a handle the engine never gave out answers like the engine does
// for a stale handle, instead of calling through a null pointer.
template <typename Handle, typename Call>
snd::Result on(Handle* handle, Call call) {
    return handle != nullptr ? call(handle) : snd::ERR_BAD_HANDLE;
}

}  // namespace

Audio::Audio()
    : system(nullptr),
      song(nullptr),
      bonusHitSound(nullptr),
      blockHitSound(nullptr),
      skullHitSound(nullptr),
      songChannel(nullptr),
      effectChannel(nullptr),
      result(snd::OK),
      version(0),
      volume(1.01f),
      peakBin(0),
      spectrum(),
      peakFrequency(0.0f),
      peakValue(0.0f),
      songLength(0) {
    // ErrorHandler counts on zeroed storage; an Audio outside static storage
    // (tests make their own) must not start with logging switched on.
    errors.fileName[0] = '\0';
    errors.message[0] = '\0';
    errors.kind = 0;
    errors.logEnabled = false;
}

// Makes no engine call: the engine belongs to shutdown().
Audio::~Audio() {}

void Audio::init() {
    checkResult(snd::createSystem(&system), 0);
    checkResult(system->getVersion(&version), 0);
    if (version < kRequiredSoundVersion) {
        errors.setError(ERROR_KIND_SOUND, "You are using an old version of FMOD %08x.  The Dovazud Engine requres: %08x\n",
                        version, kRequiredSoundVersion);
        errors.show();
    }
    system->setOutputWatcher(&logOutput, nullptr);
    checkResult(system->init(16, 0, nullptr), 0);
    checkResult(system->createSound(kBlockHitFile, snd::MODE_HARDWARE, nullptr, &blockHitSound), 0);
    checkResult(system->createSound(kBonusHitFile, snd::MODE_SOFTWARE, nullptr, &bonusHitSound), 0);
    checkResult(system->createSound(kSkullHitFile, snd::MODE_HARDWARE, nullptr, &skullHitSound), 0);
}

void Audio::prepare() { snd::decodeAhead({kBlockHitFile, kBonusHitFile, kSkullHitFile}); }

bool Audio::playSong(const char* path) {
    songPath = path;
    // The earlier song has ended or been stopped by now; its stream goes, so
    // that playing song after song does not pile up streams.
    if (song != nullptr) {
        song->release();
        song = nullptr;
    }
    checkResult(on(system,
                   [&](snd::System* s) {
                       return s->createStream(path, snd::MODE_SOFTWARE | snd::MODE_2D | snd::MODE_LOOP_OFF, nullptr,
                                              &song);
                   }),
                2);
    checkResult(on(system, [&](snd::System* s) { return s->playSound(snd::CHANNEL_FREE, song, false, &songChannel); }),
                2);
    on(songChannel, [&](snd::Channel* c) { return c->setVolume(volume); });
    return true;
}

void Audio::replaySong() {
    if (songPath.empty()) {
        return;
    }
    // The play it replaces is stopped (from the pause it would otherwise go
    // on under the new one), and the new play keeps the player's volume.
    snd::Sound* playing = nullptr;
    if (on(songChannel, [&](snd::Channel* c) { return c->getCurrentSound(&playing); }) == snd::OK && playing == song) {
        songChannel->stop();
    }
    checkResult(on(system, [&](snd::System* s) { return s->playSound(snd::CHANNEL_FREE, song, false, &songChannel); }),
                1);
    on(songChannel, [&](snd::Channel* c) { return c->setVolume(volume); });
}

void Audio::stopSong() {
    checkResult(on(songChannel, [](snd::Channel* c) { return c->stop(); }), 0);
}

void Audio::setPaused(bool paused) {
    result = on(songChannel, [paused](snd::Channel* c) { return c->setPaused(paused); });
}

void Audio::volumeUp() {
    on(songChannel, [&](snd::Channel* c) { return c->getVolume(&volume); });
    volume = static_cast<float>(static_cast<double>(volume) + 0.01);
    on(songChannel, [&](snd::Channel* c) { return c->setVolume(volume); });
}

void Audio::volumeDown() {
    on(songChannel, [&](snd::Channel* c) { return c->getVolume(&volume); });
    volume = static_cast<float>(static_cast<double>(volume) - 0.01);
    on(songChannel, [&](snd::Channel* c) { return c->setVolume(volume); });
}

void Audio::playEffect(int which) {
    snd::Sound* effect = blockHitSound;
    int id = 5;
    if (which == 0) {
        effect = bonusHitSound;
        id = 3;
    } else if (which == 1) {
        effect = skullHitSound;
        id = 4;
    }
    checkResult(on(system, [&](snd::System* s) { return s->playSound(snd::CHANNEL_FREE, effect, false, &effectChannel); }),
                id);
    result = on(effectChannel, [&](snd::Channel* c) { return c->setVolume(volume); });
}

snd::Result Audio::update() {
    return on(system, [](snd::System* s) { return s->update(); });
}

void Audio::analyseSpectrum() {
    peakFrequency = 0.0f;
    result = on(songChannel, [&](snd::Channel* c) { return c->getSpectrum(spectrum, 8192, 0, snd::WINDOW_TRIANGLE); });
    checkResult(result, 123);
    // Both tests strict: the lowest of equal peaks wins and the floor itself
    // never counts. With nothing above the floor the last peak stands.
    // Blocks whose largest value cannot win are skipped whole; their maximum
    // is taken lane by lane, which vectorises. Same result as testing every
    // bin in turn, in a fraction of the time.
    float bestValue = 0.0f;
    int bestBin = peakBin;
    constexpr int kLanes = 8;
    constexpr int kBlock = 64;
    for (int block = 0; block < 8192; block += kBlock) {
        float lanes[kLanes] = {};
        for (int i = block; i < block + kBlock; i += kLanes) {
            for (int lane = 0; lane < kLanes; ++lane) {
                lanes[lane] = spectrum[i + lane] > lanes[lane] ? spectrum[i + lane] : lanes[lane];
            }
        }
        float blockMax = 0.0f;
        for (float value : lanes) {
            blockMax = value > blockMax ? value : blockMax;
        }
        if (!(blockMax > kPeakFloor && blockMax > bestValue)) {
            continue;
        }
        for (int i = block; i < block + kBlock; ++i) {
            const float value = spectrum[i];
            if (value > kPeakFloor && value > bestValue) {
                bestValue = value;
                bestBin = i;
            }
        }
    }
    peakValue = bestValue;
    peakBin = bestBin;
    peakFrequency = static_cast<float>(peakBin) * kBinWidthHz;
}

float Audio::getPeakFrequency() {
    return peakFrequency;
}

unsigned Audio::readPosition() {
    unsigned position = 0;
    result = on(songChannel, [&](snd::Channel* c) { return c->getPosition(&position, snd::TIMEUNIT_MS); });
    return position;
}

int Audio::getMinutes() {
    on(songChannel, [&](snd::Channel* c) { return c->getCurrentSound(&song); });
    const unsigned position = readPosition();
    return static_cast<int>(static_cast<float>(position / 1000.0 / 60.0));
}

int Audio::getSeconds() {
    on(songChannel, [&](snd::Channel* c) { return c->getCurrentSound(&song); });
    const unsigned position = readPosition();
    return static_cast<int>(static_cast<float>(position / 1000.0)) % 60;
}

int Audio::getHundredths() {
    const unsigned position = readPosition();
    return static_cast<int>((position / 10) % 100);
}

bool Audio::songFinished() {
    result = on(song, [&](snd::Sound* s) { return s->getLength(&songLength, snd::TIMEUNIT_MS); });
    checkResult(result, 6);
    const unsigned minutes = songLength / 60000;
    const unsigned seconds = (songLength / 1000) % 60;
    const unsigned hundredths = (songLength / 10) % 100;
    if (static_cast<unsigned>(getMinutes()) != minutes) {
        return false;
    }
    if (static_cast<unsigned>(getSeconds()) != seconds) {
        return false;
    }
    return static_cast<unsigned>(getHundredths()) == hundredths;
}

void Audio::shutdown() {
    if (system == nullptr) {
        return;  // the engine never started: nothing to close, nothing to report
    }
    on(songChannel, [](snd::Channel* c) { return c->stop(); });
    on(effectChannel, [](snd::Channel* c) { return c->stop(); });
    on(song, [](snd::Sound* s) { return s->release(); });
    on(blockHitSound, [](snd::Sound* s) { return s->release(); });
    on(bonusHitSound, [](snd::Sound* s) { return s->release(); });
    on(skullHitSound, [](snd::Sound* s) { return s->release(); });
    checkResult(system->close(), 8);
    checkResult(system->release(), 8);
    system = nullptr;
    song = bonusHitSound = blockHitSound = skullHitSound = nullptr;
    songChannel = effectChannel = nullptr;
}

void Audio::checkResult(snd::Result code, int id) {
    if (code == snd::OK) {
        return;
    }
    const int number = code;
    errors.log("#FMOD error! (%d) %s / %i", number, snd::errorString(number), id);
    errors.setError(ERROR_KIND_SOUND, "FMOD error! (%d) %s\n\nID# %i\n", number, snd::errorString(number), id);
    errors.show();
}
