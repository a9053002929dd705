// The sound engine on real files from real encoders, rendered offline.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "audio/engine/sound.h"
#include "audio/engine/testing.h"
#include "tests/audio/audio_test_support.h"
#include "tests/support/test_env.h"
#ifndef _WIN32
#include "tests/support/sound_server.h"
#endif

using audiotest::kBinHz;
using fixtures::AudioFormat;

namespace {

const double kToneHz[] = {30.0, 100.0, 440.0, 5000.0};

// One second of each test tone in each format, written once for the suite.
class EngineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new audiotest::TempDir();
        for (const auto* formats : {&fixtures::musicFormats(), &fixtures::moreMusicFormats()}) {
            for (AudioFormat format : *formats) {
                for (double hz : kToneHz) {
                    addTone(format, hz);
                }
            }
        }
        // WMA's first version too, for length; FFmpeg's encoder for it
        // smears low tones, so it is left out of the pitch checks.
        addTone(AudioFormat::Wma1, 440.0);
    }
    static void addTone(AudioFormat format, double hz) {
        tones[{format, hz}] =
            audiotest::writeSong(*dir, "tone" + std::to_string(static_cast<int>(hz)) + "_" + fixtures::formatName(format),
                                 format, fixtures::tone(hz, 1.0));
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }

    static audiotest::TempDir* dir;
    static std::map<std::pair<AudioFormat, double>, std::string> tones;
};

audiotest::TempDir* EngineTest::dir = nullptr;
std::map<std::pair<AudioFormat, double>, std::string> EngineTest::tones;

unsigned lengthMs(snd::Sound* sound) {
    unsigned length = 0;
    EXPECT_EQ(sound->getLength(&length, snd::TIMEUNIT_MS), snd::OK);
    return length;
}

unsigned positionMs(snd::Channel* channel) {
    unsigned position = 0;
    EXPECT_EQ(channel->getPosition(&position, snd::TIMEUNIT_MS), snd::OK);
    return position;
}

#ifndef _WIN32
// The longest "Buffer Latency" the server at `server` reports for a playing
// stream (pactl list sink-inputs), in milliseconds; -1 when it names none.
double queuedAtServerMs(const std::string& server) {
    const std::string command = "PULSE_SERVER='" + server + "' pactl list sink-inputs 2>/dev/null";
    double longest = -1.0;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char line[512];
        while (std::fgets(line, sizeof line, pipe) != nullptr) {
            double usec = 0.0;
            if (std::sscanf(line, " Buffer Latency: %lf usec", &usec) == 1) {
                longest = std::max(longest, usec / 1000.0);
            }
        }
        pclose(pipe);
    }
    return longest;
}
#endif

float loudestValue(snd::Channel* channel, int* bin) {
    static float spectrum[8192];
    EXPECT_EQ(channel->getSpectrum(spectrum, 8192, 0, snd::WINDOW_TRIANGLE), snd::OK);
    *bin = audiotest::loudestBin(spectrum, 8192);
    return spectrum[*bin];
}

TEST_F(EngineTest, PeakOfEveryToneInEveryFormatLandsWithinOneBin) {
    audiotest::OfflineSystem system;
    for (const auto& [key, path] : tones) {
        if (key.first == AudioFormat::Wma1) {
            continue;
        }
        const double hz = key.second;
        SCOPED_TRACE(path);
        auto [sound, channel] = audiotest::play(system.get(), path, true);
        ASSERT_NE(channel, nullptr);
        snd::testing::render(snd::kMixRate / 2);
        int bin = 0;
        const float value = loudestValue(channel, &bin);
        EXPECT_NEAR(bin, hz / kBinHz, 1.0);
        EXPECT_GT(value, 0.3f);  // a sine of half full scale, give or take the codec
        EXPECT_LT(value, 0.8f);
        sound->release();
    }
}

TEST_F(EngineTest, FullScaleSineAtABinCentreReadsAboutOneInBothEars) {
    audiotest::TempDir scratch;
    audiotest::OfflineSystem system;
    for (int channels : {2, 1}) {  // mono goes to both sides at full level
        SCOPED_TRACE(channels);
        fixtures::ToneSong song = fixtures::tone(150 * kBinHz, 1.0, 1.0);
        song.sampleRate = snd::kMixRate;  // lossless and not resampled: what is measured is the analysis alone
        song.channels = channels;
        const std::string path =
            audiotest::writeSong(scratch, "centre" + std::to_string(channels), AudioFormat::Flac, song);
        auto [sound, channel] = audiotest::play(system.get(), path, false);
        ASSERT_NE(channel, nullptr);
        snd::testing::render(snd::kMixRate / 2);
        int bin = 0;
        EXPECT_NEAR(loudestValue(channel, &bin), 1.0f, 0.02f);
        EXPECT_EQ(bin, 150);
        float right[8192];
        ASSERT_EQ(channel->getSpectrum(right, 8192, 1, snd::WINDOW_RECTANGLE), snd::OK);
        EXPECT_NEAR(right[150], 1.0f, 0.02f);
        channel->stop();
    }
}

TEST_F(EngineTest, FinishedChannelAnswersWithPositionEqualToLengthInEveryFormat) {
    audiotest::OfflineSystem system;
    for (AudioFormat format :
         {AudioFormat::Mp3, AudioFormat::Mp2, AudioFormat::Ogg, AudioFormat::Flac, AudioFormat::Wma, AudioFormat::Wma1,
          AudioFormat::M4aAac, AudioFormat::M4aAlac, AudioFormat::Aac, AudioFormat::Opus, AudioFormat::Wav,
          AudioFormat::Aiff}) {
        const std::string& path = tones[{format, 440.0}];
        SCOPED_TRACE(path);
        for (bool stream : {true, false}) {
            snd::Sound* sound = nullptr;
            ASSERT_EQ(stream ? system->createStream(path.c_str(), 0x49, nullptr, &sound)
                             : system->createSound(path.c_str(), 0x20, nullptr, &sound),
                      snd::OK);
            const unsigned declared = lengthMs(sound);
            EXPECT_NEAR(declared, 1000.0, 50.0) << "stream " << stream;
            snd::Channel* channel = nullptr;
            ASSERT_EQ(system->playSound(snd::CHANNEL_FREE, sound, false, &channel), snd::OK);
            ASSERT_GE(audiotest::renderUntilDone(channel, 3.0), 0);
            snd::testing::render(4800);  // the channel keeps answering after its end
            const unsigned length = lengthMs(sound);
            EXPECT_EQ(positionMs(channel), length) << "stream " << stream;
            EXPECT_NEAR(length, 1000.0, 50.0) << "stream " << stream;
            snd::Sound* current = nullptr;
            EXPECT_EQ(channel->getCurrentSound(&current), snd::OK);
            EXPECT_EQ(current, sound);
            sound->release();
        }
    }
}

// Renders until the channel stops, checking what the game checks every frame:
// while the song plays, its position must not pass its length, or the
// game's end-of-song test would fire in the middle of it. The frames rendered,
// or -1 when it still plays after `limitSeconds`.
long playWatchingTheEnd(snd::Channel* channel, snd::Sound* sound, double limitSeconds) {
    constexpr int kStep = 480;  // 10 ms
    long rendered = 0;
    bool playing = true;
    while (channel->isPlaying(&playing) == snd::OK && playing) {
        if (rendered > static_cast<long>(limitSeconds * snd::kMixRate)) {
            return -1;
        }
        const unsigned position = positionMs(channel);
        const unsigned length = lengthMs(sound);
        if (position > length) {
            ADD_FAILURE() << "still playing at " << position << " ms, past the length of " << length << " ms";
            return -1;
        }
        snd::testing::render(kStep);
        rendered += kStep;
    }
    return rendered;
}

// Keeps the first `fraction` of the file's bytes, as a copy broken off
// halfway does.
void cutFile(const std::string& path, double fraction) {
    std::filesystem::resize_file(path, static_cast<std::uintmax_t>(std::filesystem::file_size(path) * fraction));
}

// Inserts `count` random bytes in the middle of the file.
void spliceNoise(const std::string& path, int count, unsigned seed) {
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::mt19937 noise(seed);
    std::string garbage;
    for (int i = 0; i < count; ++i) {
        garbage.push_back(static_cast<char>(noise()));
    }
    bytes.insert(bytes.size() / 2, garbage);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Files whose container states a duration that is not what decodes.
TEST_F(EngineTest, LengthFollowsWhatDecodesWhenTheFileMisstatesIt) {
    audiotest::TempDir scratch;
    fixtures::ToneSong vbr = fixtures::tone(440.0, 1.0);
    vbr.then(fixtures::mixture({{3000.0, 0.4}, {6000.0, 0.4}}, 2.0));
    vbr.variableBitRateWithoutLengthHeader = true;
    const std::string vbrPath = audiotest::writeSong(scratch, "vbr", AudioFormat::Mp3, vbr);

    const std::string cutPath = audiotest::writeSong(scratch, "cut", AudioFormat::Flac, fixtures::tone(440.0, 4.0));
    std::filesystem::resize_file(cutPath, std::filesystem::file_size(cutPath) / 2);

    // Two kilobytes of noise in the middle: the damaged stretch is lost, the
    // rest still plays.
    const std::string damagedPath =
        audiotest::writeSong(scratch, "damaged", AudioFormat::Flac, fixtures::tone(440.0, 2.0));
    {
        std::fstream file(damagedPath, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(std::filesystem::file_size(damagedPath) / 2));
        std::mt19937 noise(7);
        for (int i = 0; i < 2048; ++i) {
            file.put(static_cast<char>(noise()));
        }
    }

    // Songs broken off halfway: an mp3 whose Xing/LAME header still counts
    // the frames of all four seconds, one without such a header, and an ogg.
    fixtures::ToneSong noHeader = fixtures::tone(440.0, 4.0);
    noHeader.variableBitRateWithoutLengthHeader = true;
    const std::string cutMp3 = audiotest::writeSong(scratch, "cut", AudioFormat::Mp3, fixtures::tone(440.0, 4.0));
    const std::string cutMp3NoHeader = audiotest::writeSong(scratch, "cut_noheader", AudioFormat::Mp3, noHeader);
    const std::string cutOgg = audiotest::writeSong(scratch, "cut", AudioFormat::Ogg, fixtures::tone(440.0, 4.0));
    for (const std::string& path : {cutMp3, cutMp3NoHeader, cutOgg}) {
        cutFile(path, 0.5);
    }
    // Two kilobytes of noise inserted halfway: what is around them plays.
    const std::string splicedMp3 =
        audiotest::writeSong(scratch, "spliced", AudioFormat::Mp3, fixtures::tone(440.0, 4.0));
    const std::string splicedOgg =
        audiotest::writeSong(scratch, "spliced", AudioFormat::Ogg, fixtures::tone(440.0, 4.0));
    spliceNoise(splicedMp3, 2048, 11);
    spliceNoise(splicedOgg, 2048, 13);

    // Half the bytes of the cut file hold less than half its audio: its
    // header blocks come first. Its declared four seconds are far off anyway.
    // Before play the length is read from the packets, which cannot know
    // what the damaged ones would have held. FFmpeg writes Ogg pages of a
    // second each; the page that is cut or damaged is lost whole.
    struct Case {
        std::string path;
        double seconds;
        double tolerance;
        double toleranceBeforePlay;
    };
    const Case cases[] = {{vbrPath, 3.0, 0.05, 0.05},          {cutPath, 1.5, 0.5, 0.5},
                          {damagedPath, 1.75, 0.25, 0.5},      {cutMp3, 2.0, 0.1, 0.1},
                          {cutMp3NoHeader, 2.0, 0.3, 0.3},     {cutOgg, 1.5, 0.5, 0.5},
                          {splicedMp3, 4.0, 0.1, 0.1},         {splicedOgg, 3.0, 0.1, 0.1}};
    audiotest::OfflineSystem system;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        snd::Sound* sound = nullptr;
        ASSERT_EQ(system->createStream(c.path.c_str(), 0x49, nullptr, &sound), snd::OK);
        EXPECT_NEAR(lengthMs(sound), c.seconds * 1000.0, c.toleranceBeforePlay * 1000.0);
        snd::Channel* channel = nullptr;
        ASSERT_EQ(system->playSound(snd::CHANNEL_FREE, sound, false, &channel), snd::OK);
        ASSERT_GE(playWatchingTheEnd(channel, sound, c.seconds + 2.0), 0);
        EXPECT_EQ(positionMs(channel), lengthMs(sound));
        EXPECT_NEAR(lengthMs(sound), c.seconds * 1000.0, c.tolerance * 1000.0);
    }
}

// At 2 Hz every sample of a frame becomes half a second at the mix rate:
// the frames are converted a block at a time, and none of it may be lost.
TEST(EngineStreams, FramesAtATinyRatePlayWhole) {
    audiotest::TempDir scratch;
    fixtures::ToneSong song = fixtures::tone(0.1, 24.0);
    song.sampleRate = 2;
    song.channels = 1;
    const std::string path = audiotest::writeSong(scratch, "slow", AudioFormat::Flac, song);
    audiotest::OfflineSystem system;
    auto [sound, channel] = audiotest::play(system.get(), path, true);
    ASSERT_NE(channel, nullptr);
    ASSERT_GE(playWatchingTheEnd(channel, sound, 30.0), 0);
    EXPECT_EQ(positionMs(channel), lengthMs(sound));
    EXPECT_NEAR(lengthMs(sound), 24000.0, 100.0);
}

TEST_F(EngineTest, PauseHoldsPositionAndSilencesTheSpectrum) {
    audiotest::OfflineSystem system;
    auto [sound, channel] = audiotest::play(system.get(), tones[{AudioFormat::Ogg, 440.0}], true);
    ASSERT_NE(channel, nullptr);
    snd::testing::render(14400);
    EXPECT_EQ(positionMs(channel), 300u);

    ASSERT_EQ(channel->setPaused(true), snd::OK);
    std::vector<float> out(2 * 24000);
    snd::testing::render(out.data(), 24000);
    EXPECT_EQ(positionMs(channel), 300u);
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), 0.0f);
    int bin = 0;
    EXPECT_LT(loudestValue(channel, &bin), 0.01f);

    ASSERT_EQ(channel->setPaused(false), snd::OK);
    snd::testing::render(19200);
    EXPECT_EQ(positionMs(channel), 700u);
    EXPECT_GT(loudestValue(channel, &bin), 0.1f);
}

TEST_F(EngineTest, VolumeScalesTheMixAndIsClamped) {
    audiotest::OfflineSystem system;
    auto [sound, channel] = audiotest::play(system.get(), tones[{AudioFormat::Flac, 440.0}], false);
    ASSERT_NE(channel, nullptr);
    auto loudness = [](int frames) {
        std::vector<float> out(2 * frames);
        snd::testing::render(out.data(), frames);
        return *std::max_element(out.begin(), out.end());
    };
    const float full = loudness(4800);
    EXPECT_NEAR(full, 0.5f, 0.02f);
    ASSERT_EQ(channel->setVolume(0.25f), snd::OK);
    EXPECT_NEAR(loudness(4800), full * 0.25f, 0.01f);

    float volume = 0.0f;
    const std::pair<float, float> clamps[] = {{1.01f, 1.0f}, {-0.5f, 0.0f}, {0.99f, 0.99f}};
    for (auto [given, kept] : clamps) {
        ASSERT_EQ(channel->setVolume(given), snd::OK);
        ASSERT_EQ(channel->getVolume(&volume), snd::OK);
        EXPECT_EQ(volume, kept);
    }
    EXPECT_EQ(channel->setVolume(std::nanf("")), snd::ERR_BAD_ARGUMENT);
}

TEST_F(EngineTest, BusyChannelsAreTakenOverButNeverTheNewestStream) {
    audiotest::OfflineSystem system;
    snd::Sound* song = nullptr;
    snd::Sound* effect = nullptr;
    ASSERT_EQ(system->createStream(tones[{AudioFormat::Mp3, 100.0}].c_str(), 0x49, nullptr, &song), snd::OK);
    ASSERT_EQ(system->createSound(tones[{AudioFormat::Mp2, 5000.0}].c_str(), 0x20, nullptr, &effect), snd::OK);
    snd::Channel* songChannel = nullptr;
    ASSERT_EQ(system->playSound(snd::CHANNEL_FREE, song, false, &songChannel), snd::OK);
    snd::testing::render(4800);

    std::vector<snd::Channel*> effects;
    for (int i = 0; i < 40; ++i) {
        snd::Channel* channel = nullptr;
        ASSERT_EQ(system->playSound(snd::CHANNEL_FREE, effect, true, &channel), snd::OK) << i;
        EXPECT_NE(channel, songChannel);
        effects.push_back(channel);
    }
    // The least recently started goes first: the last 15 are all distinct.
    std::vector<snd::Channel*> last(effects.end() - 15, effects.end());
    std::sort(last.begin(), last.end());
    EXPECT_EQ(std::unique(last.begin(), last.end()), last.end());

    snd::testing::render(4800);
    EXPECT_EQ(positionMs(songChannel), 200u);
    snd::Sound* current = nullptr;
    ASSERT_EQ(songChannel->getCurrentSound(&current), snd::OK);
    EXPECT_EQ(current, song);
}

TEST_F(EngineTest, StreamPlaysAgainFromTheStartOnANewChannel) {
    audiotest::OfflineSystem system;
    snd::Sound* song = nullptr;
    ASSERT_EQ(system->createStream(tones[{AudioFormat::Wma, 440.0}].c_str(), 0x49, nullptr, &song), snd::OK);
    snd::Channel* first = nullptr;
    ASSERT_EQ(system->playSound(snd::CHANNEL_FREE, song, false, &first), snd::OK);
    snd::testing::render(24000);
    ASSERT_EQ(first->setPaused(true), snd::OK);
    snd::Channel* second = nullptr;
    ASSERT_EQ(system->playSound(snd::CHANNEL_FREE, song, false, &second), snd::OK);
    EXPECT_NE(first, second);
    EXPECT_EQ(positionMs(second), 0u);
    snd::testing::render(4800);
    EXPECT_EQ(positionMs(second), 100u);
    EXPECT_EQ(positionMs(first), 500u);
}

TEST_F(EngineTest, StoppedChannelFallsSilentAndNoLongerAnswersPosition) {
    audiotest::OfflineSystem system;
    auto [sound, channel] = audiotest::play(system.get(), tones[{AudioFormat::Ogg, 100.0}], false);
    ASSERT_NE(channel, nullptr);
    snd::testing::render(4800);
    ASSERT_EQ(channel->stop(), snd::OK);
    std::vector<float> out(2 * 4800);
    snd::testing::render(out.data(), 4800);
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), 0.0f);
    unsigned position = 12345;
    EXPECT_EQ(channel->getPosition(&position, snd::TIMEUNIT_MS), snd::ERR_CHANNEL_IDLE);
    EXPECT_EQ(position, 12345u);
    EXPECT_EQ(channel->stop(), snd::OK);  // stopping twice is harmless
}

TEST_F(EngineTest, FilesThatCannotBePlayedAreRefusedWithTheirReason) {
    audiotest::TempDir scratch;
    std::ofstream(scratch.file("notes.mp3")) << "This is a shopping list, not a song.\n";
    std::ofstream(scratch.file("empty.ogg"));
    std::ofstream(scratch.file("notes.m4a")) << "This is a shopping list, not a song.\n";
    std::ofstream(scratch.file("empty.opus"));
    std::ofstream(scratch.file("notes.aiff")) << "FORM and nothing else";
    std::filesystem::create_directory(scratch.file("folder.flac"));
    // A tag and no frames: what is left of a download that stopped early.
    std::ofstream(scratch.file("tag_only.mp3"), std::ios::binary)
        << std::string("ID3\x04\0\0\0\0\0\x14", 10) << std::string(20, '\0');
    struct Case {
        std::string path;
        snd::Result expected;
    };
    const Case cases[] = {
        {scratch.file("missing.mp3"), snd::ERR_FILE_NOT_FOUND},
        {scratch.file("notes.mp3"), snd::ERR_NOT_AUDIO},
        {scratch.file("empty.ogg"), snd::ERR_NOT_AUDIO},
        {scratch.file("notes.m4a"), snd::ERR_NOT_AUDIO},
        {scratch.file("empty.opus"), snd::ERR_NOT_AUDIO},
        {scratch.file("notes.aiff"), snd::ERR_NOT_AUDIO},
        {scratch.file("folder.flac"), snd::ERR_FILE_READ},
        {scratch.file("tag_only.mp3"), snd::ERR_NOT_AUDIO},
    };
    audiotest::OfflineSystem system;
    for (const Case& c : cases) {
        snd::Sound* sound = nullptr;
        EXPECT_EQ(system->createStream(c.path.c_str(), 0x49, nullptr, &sound), c.expected) << c.path;
        EXPECT_EQ(system->createSound(c.path.c_str(), 0x20, nullptr, &sound), c.expected) << c.path;
        EXPECT_EQ(sound, nullptr);
    }
}

// Effects decoded ahead on a thread are taken by createSound only while the
// file is the one decoded; files that cannot be decoded there are refused by
// createSound with their reasons as ever.
TEST(EngineSamples, SoundsDecodedAheadAreTakenWhileTheFileIsTheSameOne) {
    namespace fs = std::filesystem;
    audiotest::TempDir scratch;
    const std::string kept = audiotest::writeSong(scratch, "kept", AudioFormat::Wav, fixtures::tone(440.0, 1.0));
    const std::string replaced = audiotest::writeSong(scratch, "replaced", AudioFormat::Ogg, fixtures::tone(440.0, 1.0));
    const std::string other = audiotest::writeSong(scratch, "other", AudioFormat::Mp3, fixtures::tone(440.0, 1.0));
    std::ofstream(scratch.file("notes.mp3")) << "This is a shopping list, not a song.\n";
    audiotest::OfflineSystem system;
    snd::decodeAhead({kept, replaced, other, scratch.file("notes.mp3"), scratch.file("missing.mp3")});

    snd::Sound* sound = nullptr;
    ASSERT_EQ(system->createSound(other.c_str(), 0x20, nullptr, &sound), snd::OK);  // the reading ahead is over now
    EXPECT_NEAR(lengthMs(sound), 1000.0, 50.0);
    // A new song in place of one decoded ahead is decoded anew.
    audiotest::writeSong(scratch, "replaced", AudioFormat::Ogg, fixtures::tone(440.0, 2.0));
    ASSERT_EQ(system->createSound(replaced.c_str(), 0x20, nullptr, &sound), snd::OK);
    EXPECT_NEAR(lengthMs(sound), 2000.0, 50.0);
    EXPECT_EQ(system->createSound(scratch.file("notes.mp3").c_str(), 0x20, nullptr, &sound), snd::ERR_NOT_AUDIO);
    EXPECT_EQ(system->createSound(scratch.file("missing.mp3").c_str(), 0x20, nullptr, &sound),
              snd::ERR_FILE_NOT_FOUND);

    // Silence written over the tone with the same size and time looks like the
    // same file: the tone decoded ahead is what plays.
    const auto time = fs::last_write_time(kept);
    {
        std::ifstream in(kept, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::size_t samples = bytes.find("data") + 8;
        ASSERT_LT(samples, bytes.size());
        std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(samples), bytes.end(), '\0');
        std::ofstream(kept, std::ios::binary | std::ios::trunc) << bytes;
    }
    fs::last_write_time(kept, time);
    ASSERT_EQ(system->createSound(kept.c_str(), 0x20, nullptr, &sound), snd::OK);
    snd::Channel* channel = nullptr;
    ASSERT_EQ(system->playSound(snd::CHANNEL_FREE, sound, false, &channel), snd::OK);
    std::vector<float> mix(2 * 9600);
    snd::testing::render(mix.data(), 9600);
    EXPECT_GT(*std::max_element(mix.begin(), mix.end()), 0.2f) << "the tone decoded ahead";
    // Taken once: the next one is decoded from the file, silent now.
    ASSERT_EQ(channel->stop(), snd::OK);
    ASSERT_EQ(system->createSound(kept.c_str(), 0x20, nullptr, &sound), snd::OK);
    ASSERT_EQ(system->playSound(snd::CHANNEL_FREE, sound, false, &channel), snd::OK);
    snd::testing::render(mix.data(), 9600);
    EXPECT_EQ(*std::max_element(mix.begin(), mix.end()), 0.0f);
}

// A stream opens its file again for every play: a song removed or replaced
// since it was opened is refused when played again, and the play already
// going, which holds its file open, ends as it would have.
TEST(EngineStreams, SongThatVanishesAfterOpeningIsRefusedWhenPlayedAgain) {
    audiotest::TempDir scratch;
    const std::string path = audiotest::writeSong(scratch, "song", AudioFormat::Ogg, fixtures::tone(440.0, 1.0));
    audiotest::OfflineSystem system;
    auto [sound, channel] = audiotest::play(system.get(), path, true);
    ASSERT_NE(channel, nullptr);
    snd::testing::render(4800);
    snd::Channel* again = nullptr;
#ifdef _WIN32
    // Windows refuses to remove a file while it is open: the song goes once its play has ended.
    ASSERT_GE(playWatchingTheEnd(channel, sound, 3.0), 0);
    std::filesystem::remove(path);
    EXPECT_EQ(system->playSound(snd::CHANNEL_FREE, sound, false, &again), snd::ERR_FILE_NOT_FOUND);
    EXPECT_EQ(again, nullptr);
#else
    std::filesystem::remove(path);
    EXPECT_EQ(system->playSound(snd::CHANNEL_FREE, sound, false, &again), snd::ERR_FILE_NOT_FOUND);
    EXPECT_EQ(again, nullptr);
    ASSERT_GE(playWatchingTheEnd(channel, sound, 3.0), 0);
#endif
    EXPECT_EQ(positionMs(channel), lengthMs(sound));
    EXPECT_NEAR(lengthMs(sound), 1000.0, 50.0);

    std::ofstream(path) << "This is a shopping list, not a song.\n";
    EXPECT_EQ(system->playSound(snd::CHANNEL_FREE, sound, false, &again), snd::ERR_NOT_AUDIO);
    EXPECT_EQ(again, nullptr);
    EXPECT_EQ(positionMs(channel), lengthMs(sound));  // the finished channel still answers
}

// Every input that ever broke the song fuzzer, opened from the music folder
// as the game does: refused for a reason that fits, or played to an end
// where the position is the length. The fuzzer stops at 20 s of sound.
TEST(EngineFuzzRegressions, SongsAreRefusedOrPlayToTheirEnd) {
    audiotest::OfflineSystem system;
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(REDAVAVE_SOURCE_DIR "/fuzz/regressions/song")) {
        const std::string path = entry.path().string();
        SCOPED_TRACE(path);
        ++replayed;
        snd::Sound* sound = nullptr;
        const snd::Result opened = system->createStream(path.c_str(), 0x49, nullptr, &sound);
        if (opened != snd::OK) {
            EXPECT_TRUE(opened == snd::ERR_NOT_AUDIO || opened == snd::ERR_FILE_READ ||
                        opened == snd::ERR_OUT_OF_MEMORY)
                << snd::errorString(opened);
            EXPECT_EQ(sound, nullptr);
            continue;
        }
        snd::Channel* channel = nullptr;
        ASSERT_EQ(system->playSound(snd::CHANNEL_FREE, sound, false, &channel), snd::OK);
        if (playWatchingTheEnd(channel, sound, 20.0) >= 0) {
            EXPECT_EQ(positionMs(channel), lengthMs(sound));
        }
        EXPECT_EQ(sound->release(), snd::OK);
    }
    EXPECT_GT(replayed, 0);
}

TEST(EngineResults, EveryCodeHasItsOwnText) {
    std::vector<std::string> texts;
    for (int code = snd::OK; code <= snd::ERR_FILE_READ; ++code) {
        texts.push_back(snd::errorString(code));
        EXPECT_NE(texts.back(), "Unknown error.") << code;
    }
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(std::unique(texts.begin(), texts.end()), texts.end());
    EXPECT_STREQ(snd::errorString(-1), "Unknown error.");
    EXPECT_STREQ(snd::errorString(90), "Unknown error.");
}

TEST(EngineSystem, LifecycleCallsInTheWrongOrderAreRefused) {
    snd::System* system = nullptr;
    ASSERT_EQ(snd::createSystem(&system), snd::OK);
    snd::Sound* sound = nullptr;
    EXPECT_EQ(system->createSound("x.mp3", 0, nullptr, &sound), snd::ERR_NOT_INITIALISED);
    EXPECT_EQ(system->close(), snd::ERR_NOT_INITIALISED);
    EXPECT_EQ(system->init(0, 0, nullptr), snd::ERR_BAD_ARGUMENT);
    snd::testing::useOfflineOutput(true);
    EXPECT_EQ(system->init(16, 0, nullptr), snd::OK);
    snd::testing::useOfflineOutput(false);
    EXPECT_EQ(system->init(16, 0, nullptr), snd::ERR_ALREADY_INITIALISED);
    unsigned version = 0;
    EXPECT_EQ(system->getVersion(&version), snd::OK);
    EXPECT_GE(version, 0x00042104u);
    EXPECT_EQ(system->playSound(3, nullptr, false, nullptr), snd::ERR_BAD_ARGUMENT);
    EXPECT_EQ(system->close(), snd::OK);
    EXPECT_EQ(system->release(), snd::OK);
}

TEST(EngineSpectrum, ScriptedSourceStandsInForTheAnalysisUntilCleared) {
    audiotest::OfflineSystem system;
    audiotest::TempDir scratch;
    const std::string path = audiotest::writeSong(scratch, "t", AudioFormat::Flac, fixtures::tone(440.0, 1.0));
    auto [sound, channel] = audiotest::play(system.get(), path, false);
    ASSERT_NE(channel, nullptr);
    snd::testing::render(24000);

    int scriptedBin = 77;
    snd::testing::setSpectrumSource(
        [](float* out, int count, void* user) {
            std::fill(out, out + count, 0.0f);
            out[*static_cast<int*>(user)] = 0.5f;
        },
        &scriptedBin);
    int bin = 0;
    EXPECT_EQ(loudestValue(channel, &bin), 0.5f);
    EXPECT_EQ(bin, 77);
    snd::testing::setSpectrumSource(nullptr, nullptr);
    loudestValue(channel, &bin);
    EXPECT_NEAR(bin, 440.0 / kBinHz, 1.0);

    float few[8192];
    EXPECT_EQ(channel->getSpectrum(few, 100, 0, 1), snd::ERR_BAD_ARGUMENT);
    EXPECT_EQ(channel->getSpectrum(few, 8192, 2, 1), snd::ERR_BAD_ARGUMENT);
    EXPECT_EQ(channel->getSpectrum(few, 16384, 0, 1), snd::ERR_BAD_ARGUMENT);
    ASSERT_EQ(channel->getSpectrum(few, 1024, 0, 1), snd::OK);  // coarser bins of 23.4 Hz
    EXPECT_NEAR(audiotest::loudestBin(few, 1024), 440.0 / 23.4375, 1.0);
}

// Real time: a stream on a device driver, on a PulseAudio and a PipeWire
// server when the test run provides them, and the engine's own clock when
// nothing can be opened: SDL asked for a driver that does not exist, or no
// driver named and both sound servers unreachable (on a machine with a sound
// card SDL may open that instead; either way the song keeps time). All must
// end a song where its length says. On PulseAudio, the stream's queue never
// holds more than the two 512-frame blocks (21.3 ms) that a new sound's delay
// rests on.
TEST(EngineOutput, RealTimeOutputsPlaySongsToTheirEnd) {
    audiotest::TempDir scratch;
    const std::string path = audiotest::writeSong(scratch, "short", AudioFormat::Mp3, fixtures::tone(440.0, 0.4));
    struct Case {
        const char* driver;          // SDL_AUDIODRIVER; nullptr: unset
        std::string server;          // PULSE_SERVER
        std::string remote;          // PIPEWIRE_REMOTE
        const char* expectedOutput;  // nullptr: neither server's
    };
    std::vector<Case> cases = {{"dummy", "", "", "sdl:dummy"},
                               {"no-such-driver", "", "", "silent"},
                               {nullptr, "unix:" + scratch.file("no-server"), scratch.file("no-pipewire"), nullptr}};
#ifndef _WIN32  // the engine talks to the servers on Linux only
    if (const char* server = std::getenv("REDAVAVE_SOUND_SERVER"); server != nullptr && *server != '\0') {
        cases.push_back({nullptr, server, "", "pulse"});
    }
    if (const char* remote = std::getenv("REDAVAVE_PIPEWIRE_REMOTE"); remote != nullptr && *remote != '\0') {
        cases.push_back({nullptr, "", remote, "pipewire"});
    }
#endif
    testenv::Scoped keepDriver("SDL_AUDIODRIVER");
    testenv::Scoped keepServer("PULSE_SERVER");
    testenv::Scoped keepRemote("PIPEWIRE_REMOTE");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.driver != nullptr ? c.driver : "(no driver)") + " " + c.server + " " + c.remote);
        if (c.driver != nullptr) {
            testenv::set("SDL_AUDIODRIVER", c.driver);
        } else {
            testenv::unset("SDL_AUDIODRIVER");
        }
        testenv::set("PULSE_SERVER", c.server.c_str());
        testenv::set("PIPEWIRE_REMOTE", c.remote.c_str());
        snd::System* system = nullptr;
        ASSERT_EQ(snd::createSystem(&system), snd::OK);
        ASSERT_EQ(system->init(16, 0, nullptr), snd::OK);
        if (c.expectedOutput != nullptr) {
            EXPECT_STREQ(system->outputName(), c.expectedOutput);
        } else {
            EXPECT_STRNE(system->outputName(), "pulse");
            EXPECT_STRNE(system->outputName(), "pipewire");
        }
        auto [sound, channel] = audiotest::play(system, path, true);
        ASSERT_NE(channel, nullptr);
        const auto start = std::chrono::steady_clock::now();
        bool sawTone = false;
        bool playing = true;
        double queuedMs = -1.0;
        while (channel->isPlaying(&playing) == snd::OK && playing &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(10)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            int bin = 0;
            sawTone = sawTone || (loudestValue(channel, &bin) > 0.1f && std::abs(bin - 440.0 / kBinHz) <= 1.0);
#ifndef _WIN32
            if (std::strcmp(system->outputName(), "pulse") == 0) {
                queuedMs = std::max(queuedMs, queuedAtServerMs(c.server));
            }
#endif
        }
        if (std::strcmp(system->outputName(), "pulse") == 0) {
            EXPECT_GT(queuedMs, 0.0) << "the server named no stream of ours";
            EXPECT_LE(queuedMs, 2 * 512 * 1000.0 / 48000 + 2.0) << "queued at the server while playing, ms";
        }
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_FALSE(playing);
        EXPECT_TRUE(sawTone);
        EXPECT_GT(elapsed, 0.3);  // it kept time rather than racing through
        EXPECT_EQ(positionMs(channel), lengthMs(sound));
        EXPECT_EQ(system->release(), snd::OK);
    }
}

#ifndef _WIN32
// The PulseAudio and PipeWire outputs when their server goes away: from that
// moment the song keeps time on a silent clock, the server is asked again
// every two seconds or so, and when it answers its stream goes on from where
// the clock stood. Needs the test run's servers (REDAVAVE_SOUND_SERVER,
// REDAVAVE_PIPEWIRE_REMOTE); the server that goes away is a stand-in in front
// of one, or a private one.
struct ServerKind {
    const char* name;
    const char* kind;    // as scripts/sound-server.sh names it
    const char* output;  // the engine's name for its output on it
    const char* runs;    // the variable that tells the test run has one
};
const ServerKind kPulseAudio{"PulseAudio", "pulseaudio", "pulse", "REDAVAVE_SOUND_SERVER"};
const ServerKind kPipeWire{"PipeWire", "pipewire", "pipewire", "REDAVAVE_PIPEWIRE_REMOTE"};

class ServerLossTest : public ::testing::Test {
protected:
    void SetUp() override { needServer(kPulseAudio); }
    void needServer(const ServerKind& kind) {
        server = kind;
        const char* named = std::getenv(kind.runs);
        if (named == nullptr || *named == '\0') {
            GTEST_SKIP() << "needs a " << kind.name << " (" << kind.runs << "); scripts/test.sh starts one";
        }
        shared = named;
    }
    void TearDown() override {
        if (system != nullptr) {
            EXPECT_EQ(system->release(), snd::OK);
        }
    }

    // A system on the server at `address` (PulseAudio: for PULSE_SERVER,
    // PipeWire: for PIPEWIRE_REMOTE), its output news kept.
    void start(const std::string& address, const std::string& clientConfig = {}) {
        testenv::unset("SDL_AUDIODRIVER");
        if (!clientConfig.empty()) {
            testenv::set("PULSE_CLIENTCONFIG", clientConfig.c_str());
        }
        const bool pipewire = std::string(server.kind) == "pipewire";
        testenv::unset(pipewire ? "PULSE_SERVER" : "PIPEWIRE_REMOTE");
        testenv::set(pipewire ? "PIPEWIRE_REMOTE" : "PULSE_SERVER", address.c_str());
        ASSERT_EQ(snd::createSystem(&system), snd::OK);
        system->setOutputWatcher(&ServerLossTest::watch, this);
        ASSERT_EQ(system->init(16, 0, nullptr), snd::OK);
        ASSERT_STREQ(system->outputName(), server.output);
    }
    // A stream of a 440 Hz tone started on the system.
    void playTone(double seconds) {
        const std::string path =
            audiotest::writeSong(scratch, "tone", AudioFormat::Flac, fixtures::tone(440.0, seconds));
        const audiotest::Playing playing = audiotest::play(system, path, true);
        sound = playing.sound;
        channel = playing.channel;
        ASSERT_NE(channel, nullptr);
    }
    // The address of `own` the engine is given.
    std::string addressOf(const soundserver::PrivateServer& own) const {
        return std::string(server.kind) == "pipewire" ? own.remote() : own.address();
    }
    // Starts `own`, a system on it, and the tone.
    void playOn(soundserver::PrivateServer& own, double seconds) {
        ASSERT_TRUE(own.start());
        start(addressOf(own));
        if (HasFatalFailure()) return;
        playTone(seconds);
    }
    // Whether the system plays to its server, not to the clock.
    bool onServer() const { return system->outputName() == std::string(server.output); }
    static void watch(snd::OutputEvent event, const char* detail, void* user) {
        auto* self = static_cast<ServerLossTest*>(user);
        std::lock_guard<std::mutex> lock(self->mutex);
        self->events.push_back(event);
        self->details.push_back(detail);
    }
    std::vector<snd::OutputEvent> told() {
        std::lock_guard<std::mutex> lock(mutex);
        return events;
    }

    ServerKind server = kPulseAudio;
    std::string shared;
    testenv::Scoped keepDriver{"SDL_AUDIODRIVER"};
    testenv::Scoped keepServer{"PULSE_SERVER"};
    testenv::Scoped keepRemote{"PIPEWIRE_REMOTE"};
    testenv::Scoped keepClientConfig{"PULSE_CLIENTCONFIG"};
    snd::System* system = nullptr;
    audiotest::TempDir scratch;
    snd::Sound* sound = nullptr;
    snd::Channel* channel = nullptr;
    std::mutex mutex;
    std::vector<snd::OutputEvent> events;
    std::vector<std::string> details;
};

// The same on each server.
class ServerLossOnEachTest : public ServerLossTest, public ::testing::WithParamInterface<ServerKind> {
protected:
    void SetUp() override { needServer(GetParam()); }
};

std::string serverKindName(const ::testing::TestParamInfo<ServerKind>& info) { return info.param.name; }
void PrintTo(const ServerKind& kind, std::ostream* out) { *out << kind.name; }

TEST_F(ServerLossTest, ServerGoneBeforeItsFirstRequestLeavesTheSongOnTheClock) {
    soundserver::PulseProxy proxy(shared);
    ASSERT_TRUE(proxy.listening());
    start(proxy.address(), proxy.clientConfig());
    if (HasFatalFailure()) return;
    ASSERT_TRUE(proxy.waitForStreamReady(5.0)) << "the stand-in never saw the stream made";
    playTone(1.0);
    if (HasFatalFailure()) return;
    proxy.cut();

    const auto begin = std::chrono::steady_clock::now();
    bool playing = true;
    while (channel->isPlaying(&playing) == snd::OK && playing &&
           std::chrono::steady_clock::now() - begin < std::chrono::seconds(6)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_FALSE(playing) << "the song stood still once the server was gone";
    EXPECT_EQ(positionMs(channel), lengthMs(sound));
    EXPECT_GT(elapsed, 0.8);  // in real time, not raced through
    const std::vector<snd::OutputEvent> news = told();
    ASSERT_FALSE(news.empty());
    EXPECT_EQ(news.front(), snd::OutputEvent::Lost);
    EXPECT_EQ(std::count(news.begin(), news.end(), snd::OutputEvent::Lost), 1);
}

TEST_P(ServerLossOnEachTest, RestartedServerTakesOverFromTheClockAndTheSongGoesOnWithoutAJump) {
    soundserver::PrivateServer own(server.kind);
    constexpr double kSongSeconds = 14.0;  // PipeWire's stack takes seconds to stop and start
    playOn(own, kSongSeconds);
    if (HasFatalFailure()) return;
    auto secondsSince = [](std::chrono::steady_clock::time_point from) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
    };

    // The position, read every 10 ms, never goes back (nothing heard is
    // played again) and never runs ahead of the time between two readings
    // (nothing is skipped). How fast it goes is the server's affair, except
    // while the server is away.
    unsigned last = 0;
    auto lastAt = std::chrono::steady_clock::now();
    double worstLead = 0.0;
    int backwards = 0;
    auto follow = [&](double seconds, bool untilOnServer, bool* toned) {
        const auto from = std::chrono::steady_clock::now();
        while (secondsSince(from) < seconds && !(untilOnServer && onServer())) {
            unsigned position = 0;
            bool playing = false;
            if (channel->isPlaying(&playing) != snd::OK || !playing ||
                channel->getPosition(&position, snd::TIMEUNIT_MS) != snd::OK) {
                break;  // ended
            }
            backwards += position < last ? 1 : 0;
            worstLead = std::max(worstLead, (static_cast<double>(position) - last) / 1000.0 - secondsSince(lastAt));
            last = position;
            lastAt = std::chrono::steady_clock::now();
            int bin = 0;
            if (toned != nullptr && loudestValue(channel, &bin) > 0.1f && std::abs(bin - 440.0 / kBinHz) <= 1.0) {
                *toned = true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    };
    follow(1.0, false, nullptr);
    const unsigned lostAt = last;
    const auto stopped = std::chrono::steady_clock::now();
    own.stop();
    // Long enough for a try at the missing server to fail. The clock keeps
    // the song's time meanwhile.
    bool tonedWhileAway = false;
    follow(2.5, false, &tonedWhileAway);
    EXPECT_NEAR((last - lostAt) / 1000.0, secondsSince(stopped), 0.25) << "the song's time while the server was away";
    EXPECT_STREQ(system->outputName(), "silent");
    EXPECT_EQ(told(), std::vector<snd::OutputEvent>{snd::OutputEvent::Lost});
    ASSERT_TRUE(own.start());
    const auto restarted = std::chrono::steady_clock::now();
    follow(5.0, true, nullptr);
    const double back = secondsSince(restarted);
    ASSERT_STREQ(system->outputName(), server.output) << "still silent " << back << " s after the server was back";
    std::printf("the stream took over %.2f s after the server was back\n", back);
    EXPECT_LE(back, 3.0);
    bool tonedAfter = false;
    follow(kSongSeconds + 2.0, false, &tonedAfter);

    bool playing = true;
    EXPECT_EQ(channel->isPlaying(&playing), snd::OK);
    EXPECT_FALSE(playing);
    EXPECT_EQ(positionMs(channel), lengthMs(sound));
    EXPECT_EQ(backwards, 0) << "the position went back";
    EXPECT_LT(worstLead, 0.1) << "the position jumped ahead";
    EXPECT_TRUE(tonedWhileAway);
    EXPECT_TRUE(tonedAfter);
    EXPECT_EQ(told(), (std::vector<snd::OutputEvent>{snd::OutputEvent::Lost, snd::OutputEvent::Back}));
    std::lock_guard<std::mutex> lock(mutex);
    for (const std::string& detail : details) {
        EXPECT_EQ(detail.rfind(std::string(server.name) + " server " + addressOf(own), 0), 0u) << detail;
    }
}
// A try that reaches a server which takes the connection and never answers
// (one that hangs, or is only just going away) is given up after a while for
// a new one, which finds the server back.
TEST_P(ServerLossOnEachTest, TryAtAServerThatHangsIsGivenUpForANewOne) {
    soundserver::PrivateServer own(server.kind);
    playOn(own, 20.0);
    if (HasFatalFailure()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    own.stop();
    // The first try comes two seconds after the loss and hangs here; the
    // server comes back beside it.
    soundserver::MuteServer mute(addressOf(own));
    ASSERT_TRUE(mute.listening());
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    EXPECT_STREQ(system->outputName(), "silent");
    mute.stepAside();
    ASSERT_TRUE(own.start());
    const auto restarted = std::chrono::steady_clock::now();
    while (!onServer() && std::chrono::steady_clock::now() - restarted < std::chrono::seconds(12)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const double back = std::chrono::duration<double>(std::chrono::steady_clock::now() - restarted).count();
    EXPECT_STREQ(system->outputName(), server.output);
    EXPECT_LT(back, 6.0);  // the hung try is dropped 5 s after it began
    EXPECT_EQ(told(), (std::vector<snd::OutputEvent>{snd::OutputEvent::Lost, snd::OutputEvent::Back}));
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerLossOnEachTest, ::testing::Values(kPulseAudio, kPipeWire), serverKindName);
#endif

}  // namespace
