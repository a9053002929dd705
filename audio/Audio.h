#pragma once

// The game's one sound object: the song stream, the three hit effects, the
// volume, the play position and the spectrum peak that steers the course.
// Every failed engine call that it reports ends the game with a "FMod Error"
// box (exit code 1).

#include <string>

#include "audio/engine/sound.h"
#include "diag/ErrorHandler.h"

class Audio {
public:
    Audio();
    virtual ~Audio();

    // Starts decoding the sound effects on a thread of their own, for init()
    // to take; nothing is reported from there (init() reports as ever).
    void prepare();
    // Starts the engine, checks its version and loads the three effects from
    // resources/Sounds under the current directory.
    void init();
    bool playSong(const char* path);
    void replaySong();
    void stopSong();
    void setPaused(bool paused);
    void volumeUp();
    void volumeDown();
    // 0 bonus item, 1 skull, anything else a block.
    void playEffect(int which);
    snd::Result update();
    void analyseSpectrum();
    float getPeakFrequency();
    int getMinutes();
    int getSeconds();
    int getHundredths();
    bool songFinished();
    void shutdown();
    void checkResult(snd::Result result, int id);

    snd::System* system;
    snd::Sound* song;
    snd::Sound* bonusHitSound;
    snd::Sound* blockHitSound;
    snd::Sound* skullHitSound;
    snd::Channel* songChannel;
    snd::Channel* effectChannel;
    snd::Result result;
    unsigned int version;
    std::string songPath;
    float volume;
    int peakBin;
    float spectrum[8192];
    float peakFrequency;
    float peakValue;
    unsigned int songLength;
    ErrorHandler errors;

private:
    unsigned readPosition();
};

extern Audio audio;

// The oldest engine the game accepts.
inline constexpr unsigned kRequiredSoundVersion = 0x00042104;
