// Audio over the engine: start-up, songs, effects, volume, position, song
// end, the spectrum peak and the fatal error path. Rendered offline, in a
// scratch folder that holds its own resources tree.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "audio/Audio.h"
#include "audio/engine/testing.h"
#include "platform/message_box.h"
#include "tests/audio/audio_test_support.h"
#include "tests/support/regex_match.h"

using fixtures::AudioFormat;

namespace {

int boxToStderr(const char* text, const char* title, std::uint32_t) {
    std::fprintf(stderr, "BOX[%s] %s\n", title, text);
    return plat::IDOK;
}

class AudioTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new audiotest::TempDir();
        std::filesystem::create_directories(dir->file("resources/Sounds"));
        std::filesystem::create_directories(dir->file("resources/Music"));
        const std::pair<const char*, double> effects[] = {{"blockHit", 1000.0}, {"bonusHit", 2000.0}, {"SkullHit", 3000.0}};
        for (auto [stem, hz] : effects) {
            audiotest::writeSong(*dir, std::string("resources/Sounds/") + stem, AudioFormat::Mp3, fixtures::tone(hz, 0.2));
        }
        audiotest::writeSong(*dir, "resources/Music/song", AudioFormat::Ogg, fixtures::tone(440.0, 1.0));
        std::ofstream(dir->file("resources/Music/readme.mp3")) << "Songs go in this folder.\n";
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }

    void SetUp() override {
        previousDir = std::filesystem::current_path();
        std::filesystem::current_path(dir->path());
        std::filesystem::remove("log.txt");
        plat::setMessageBoxBackend(boxToStderr);
        snd::testing::useOfflineOutput(true);
        audio = std::make_unique<Audio>();
    }
    void TearDown() override {
        audio->shutdown();
        audio.reset();
        snd::testing::useOfflineOutput(false);
        snd::testing::setSpectrumSource(nullptr, nullptr);
        snd::testing::overrideVersion(0);
        plat::setMessageBoxBackend(nullptr);
        std::filesystem::current_path(previousDir);
    }

    static std::string log() {
        std::ifstream file("log.txt");
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    // Plays the song and renders until it has played `ms` milliseconds.
    void playFor(unsigned ms) {
        snd::testing::render(static_cast<int>(static_cast<long long>(ms) * snd::kMixRate / 1000));
    }

    std::vector<int> clock() { return {audio->getMinutes(), audio->getSeconds(), audio->getHundredths()}; }

    static audiotest::TempDir* dir;
    std::filesystem::path previousDir;
    std::unique_ptr<Audio> audio;
};

audiotest::TempDir* AudioTest::dir = nullptr;

TEST(AudioGlobal, StartsEmptyWithItsOwnVolumeAndQuietErrors) {
    EXPECT_EQ(::audio.system, nullptr);
    EXPECT_EQ(::audio.song, nullptr);
    EXPECT_EQ(::audio.songChannel, nullptr);
    EXPECT_EQ(::audio.effectChannel, nullptr);
    EXPECT_TRUE(::audio.songPath.empty());
    EXPECT_EQ(::audio.volume, 1.01f);
    EXPECT_EQ(::audio.peakBin, 0);
    EXPECT_FALSE(::audio.errors.logEnabled);
    EXPECT_EQ(::audio.getPeakFrequency(), 0.0f);
}

TEST_F(AudioTest, PeakFollowsTheStrictRulesAndKeepsTheLastBin) {
    audio->init();
    audio->playSong("resources/Music/song.ogg");
    struct Frame {
        std::vector<std::pair<int, float>> bins;  // everything else 0
        float expectedHz;
        float expectedValue;
    };
    const Frame frames[] = {
        {{}, 0.0f, 0.0f},                                      // silence before any peak: 0 Hz
        {{{300, 0.01f}}, 0.0f, 0.0f},                          // the floor itself never counts
        {{{100, 0.5f}, {200, 0.5f}, {150, 0.4f}}, 292.96875f, 0.5f},  // the lowest of equal peaks
        {{}, 292.96875f, 0.0f},                                // silence repeats the last peak
        {{{40, 0.009f}, {500, 0.01f}}, 292.96875f, 0.0f},
        {{{8191, 0.02f}, {10, 0.0101f}}, 8191 * 2.9296875f, 0.02f},
        {{{128, 0.3f}, {129, 0.5f}, {130, 0.5f}, {4000, 0.49f}}, 129 * 2.9296875f, 0.5f},
    };
    const Frame* current = nullptr;
    snd::testing::setSpectrumSource(
        [](float* out, int count, void* user) {
            std::fill(out, out + count, 0.0f);
            for (auto [bin, value] : (*static_cast<const Frame**>(user))->bins) {
                out[bin] = value;
            }
        },
        &current);
    for (const Frame& frame : frames) {
        current = &frame;
        audio->analyseSpectrum();
        EXPECT_EQ(audio->getPeakFrequency(), frame.expectedHz);
        EXPECT_EQ(audio->peakValue, frame.expectedValue);
    }
}

TEST_F(AudioTest, PeakOfARealSongIsItsTone) {
    audio->init();
    audio->playSong("resources/Music/song.ogg");
    playFor(400);
    audio->analyseSpectrum();
    EXPECT_NEAR(audio->getPeakFrequency(), 440.0f, 2.93f);
    EXPECT_GT(audio->peakValue, 0.3f);
}

TEST_F(AudioTest, ClockAndSongEndFollowTheHundredth) {
    audiotest::TempDir scratch;
    fixtures::ToneSong song = fixtures::silence(61.239);
    song.sampleRate = snd::kMixRate;
    const std::string path = audiotest::writeSong(scratch, "long", AudioFormat::Flac, song);
    audio->init();
    audio->playSong(path.c_str());

    playFor(61229);
    EXPECT_EQ(clock(), (std::vector<int>{1, 1, 22}));
    EXPECT_FALSE(audio->songFinished());
    playFor(5);
    // 61234 ms is 1:01.23, the same hundredth as the length of 61239 ms.
    EXPECT_EQ(clock(), (std::vector<int>{1, 1, 23}));
    EXPECT_TRUE(audio->songFinished());
    EXPECT_EQ(audio->songLength, 61239u);
    audio->shutdown();  // closes the song: Windows removes no open file with the scratch folder
}

TEST_F(AudioTest, SongPlayedToItsEndStaysFinishedWhileItsChannelAnswers) {
    audio->init();
    audio->playSong("resources/Music/song.ogg");
    EXPECT_FALSE(audio->songFinished());
    ASSERT_GE(audiotest::renderUntilDone(audio->songChannel, 3.0), 0);
    for (int frame = 0; frame < 3; ++frame) {
        EXPECT_TRUE(audio->songFinished());
        unsigned position = 0;
        EXPECT_EQ(audio->songChannel->getPosition(&position, snd::TIMEUNIT_MS), snd::OK);
        EXPECT_EQ(position, audio->songLength);
        playFor(20);
    }
    const int length = static_cast<int>(audio->songLength);
    EXPECT_NEAR(length, 1000, 20);
    EXPECT_EQ(clock(), (std::vector<int>{length / 60000, length / 1000 % 60, length / 10 % 100}));
}

TEST_F(AudioTest, PauseHoldsThePosition) {
    audio->init();
    audio->playSong("resources/Music/song.ogg");
    playFor(250);
    audio->setPaused(true);
    playFor(500);
    EXPECT_EQ(clock(), (std::vector<int>{0, 0, 25}));
    audio->setPaused(false);
    playFor(100);
    EXPECT_EQ(clock(), (std::vector<int>{0, 0, 35}));
}

TEST_F(AudioTest, VolumeStepsStartFromTheSongChannelAndReachEffects) {
    audio->init();
    audio->playSong("resources/Music/song.ogg");
    float channelVolume = 0.0f;
    audio->songChannel->getVolume(&channelVolume);
    EXPECT_EQ(channelVolume, 1.0f);  // the engine clamps the stored 1.01

    audio->volumeDown();  // from the channel's 1.0, not the stored 1.01
    EXPECT_EQ(audio->volume, static_cast<float>(1.0 - 0.01));
    audio->volumeDown();
    const float twoDown = static_cast<float>(static_cast<double>(static_cast<float>(1.0 - 0.01)) - 0.01);
    EXPECT_EQ(audio->volume, twoDown);
    audio->songChannel->getVolume(&channelVolume);
    EXPECT_EQ(channelVolume, twoDown);

    audio->playEffect(2);
    audio->effectChannel->getVolume(&channelVolume);
    EXPECT_EQ(channelVolume, twoDown);

    for (int i = 0; i < 5; ++i) {
        audio->volumeUp();
    }
    EXPECT_EQ(audio->volume, 1.01f);  // the object applies no bound
    audio->songChannel->getVolume(&channelVolume);
    EXPECT_EQ(channelVolume, 1.0f);  // the engine does
}

TEST_F(AudioTest, EffectSelectorPicksTheSound) {
    audio->init();
    const std::pair<int, snd::Sound*> cases[] = {{0, audio->bonusHitSound}, {1, audio->skullHitSound},
                                                 {2, audio->blockHitSound}, {7, audio->blockHitSound},
                                                 {-1, audio->blockHitSound}};
    for (auto [which, expected] : cases) {
        audio->playEffect(which);
        snd::Sound* playing = nullptr;
        ASSERT_EQ(audio->effectChannel->getCurrentSound(&playing), snd::OK);
        EXPECT_EQ(playing, expected) << which;
    }
}

TEST_F(AudioTest, ReplayRestartsFromZeroAndSurvivesTwentyPausedRestarts) {
    audio->init();
    audio->replaySong();  // no song yet: nothing happens
    EXPECT_EQ(audio->songChannel, nullptr);

    audio->playSong("resources/Music/song.ogg");
    playFor(600);
    for (int i = 0; i < 20; ++i) {
        audio->setPaused(true);
        audio->replaySong();
        audio->playEffect(i % 3);
        playFor(10);
    }
    EXPECT_EQ(clock(), (std::vector<int>{0, 0, 1}));
    playFor(400);
    audio->analyseSpectrum();
    EXPECT_NEAR(audio->getPeakFrequency(), 440.0f, 2.93f);  // the restarted song is what the channel plays
}

TEST_F(AudioTest, RestartKeepsThePlayersVolumeAndStopsThePlayItReplaces) {
    audio->init();
    audio->playSong("resources/Music/song.ogg");
    for (int i = 0; i < 30; ++i) {
        audio->volumeDown();
    }
    playFor(200);
    snd::Channel* before = audio->songChannel;
    audio->setPaused(true);
    audio->replaySong();
    float channelVolume = 0.0f;
    audio->songChannel->getVolume(&channelVolume);
    EXPECT_EQ(channelVolume, audio->volume);
    EXPECT_NEAR(channelVolume, 0.70f, 1e-5f);
    if (before != audio->songChannel) {
        bool stillPlaying = true;
        before->isPlaying(&stillPlaying);
        EXPECT_FALSE(stillPlaying) << "the replaced play goes on under the new one";
    }
    // Only the new play sounds, at 0.70 of the song's 0.5.
    std::vector<float> out(2 * 4800);
    playFor(100);
    snd::testing::render(out.data(), 4800);
    EXPECT_NEAR(*std::max_element(out.begin(), out.end()), 0.5f * 0.70f, 0.02f);
}

TEST_F(AudioTest, SongAfterSongHoldsOneStream) {
    audio->init();
    for (int i = 0; i < 50; ++i) {
        audio->playSong("resources/Music/song.ogg");
        playFor(20);
        if (i % 2 == 0) {
            audio->stopSong();
        }
    }
    EXPECT_EQ(snd::testing::liveSounds(audio->system), 4) << "three effects and the current song";
    playFor(100);
    EXPECT_EQ(clock(), (std::vector<int>{0, 0, 12}));
}

TEST_F(AudioTest, StopSilencesTheSongAndANewSongPlays) {
    audio->init();
    audio->playSong("resources/Music/song.ogg");
    playFor(300);
    audio->stopSong();
    std::vector<float> out(2 * 4800);
    snd::testing::render(out.data(), 4800);
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), 0.0f);
    audio->playSong("resources/Music/song.ogg");
    playFor(100);
    EXPECT_EQ(clock(), (std::vector<int>{0, 0, 10}));
}

TEST_F(AudioTest, ShutdownReleasesSoThatTheEngineCanStartAgain) {
    audio->shutdown();  // never started: nothing to report
    audio->init();
    audio->playSong("resources/Music/song.ogg");
    audio->playEffect(0);
    audio->shutdown();
    EXPECT_EQ(audio->system, nullptr);
    audio->init();
    audio->playSong("resources/Music/song.ogg");
    playFor(100);
    EXPECT_EQ(clock(), (std::vector<int>{0, 0, 10}));
}

using AudioDeathTest = AudioTest;

// The log as the ending process leaves it, on standard error: a Windows death
// test runs in a fresh process, in a scratch world of its own.
void printLogAtExit() {
    std::ifstream file("log.txt");
    std::stringstream text;
    text << file.rdbuf();
    std::fprintf(stderr, "log.txt: [%s]\n", text.str().c_str());
}

TEST_F(AudioDeathTest, MissingEffectEndsStartUpWithTheSoundErrorLine) {
    std::filesystem::rename("resources/Sounds/bonusHit.mp3", "bonusHit.mp3.away");
    EXPECT_EXIT(
        {
            std::atexit(printLogAtExit);
            audio->init();
        },
        ::testing::ExitedWithCode(1),
        testsupport::containsRegex("BOX\\[FMod Error] There was a problem with Fmod!.*FMOD error! \\(3\\) The file "
                                   "was not found.\n\nID# 0.*log.txt: \\[#FMOD error! \\(3\\) The file was not "
                                   "found. / 0\n]"));
    std::filesystem::rename("bonusHit.mp3.away", "resources/Sounds/bonusHit.mp3");
#ifndef _WIN32  // the ending process wrote into this world
    EXPECT_EQ(log(), "#FMOD error! (3) The file was not found. / 0\n");
#endif
}

TEST_F(AudioDeathTest, SongThatIsNotAudioEndsTheGameWithId2) {
    audio->init();
    const std::string line = std::string("#FMOD error! (4) ") + snd::errorString(snd::ERR_NOT_AUDIO) + " / 2\n";
    EXPECT_EXIT(
        {
            std::atexit(printLogAtExit);
            audio->playSong("resources/Music/readme.mp3");
        },
        ::testing::ExitedWithCode(1),
        testsupport::containsRegex("BOX\\[FMod Error].*ID# 2.*log.txt: \\[#FMOD error! \\(4\\) " +
                                   std::string(snd::errorString(snd::ERR_NOT_AUDIO)) + " / 2\n]"));
#ifndef _WIN32
    EXPECT_EQ(log(), line);
#endif
}

TEST_F(AudioDeathTest, EngineOlderThanRequiredEndsStartUpWithTheVersionBox) {
    snd::testing::overrideVersion(0x00042103);
    EXPECT_EXIT(audio->init(), ::testing::ExitedWithCode(1),
                testsupport::containsRegex("BOX\\[FMod Error] There was a problem with Fmod!\n\n Error As Fallows:\nYou are "
                                           "using an old version of FMOD 00042103.  The Dovazud Engine requres: 00042104\n"));
    EXPECT_EQ(log(), "");  // the version box is never logged

    snd::testing::overrideVersion(0x00042104);
    audio->init();
    EXPECT_EQ(audio->version, 0x00042104u);
    EXPECT_NE(audio->blockHitSound, nullptr);
}

}  // namespace
