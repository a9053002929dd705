#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "audio/Audio.h"
#include "audio/engine/testing.h"
#include "game/Player.h"
#include "game/carClass.h"
#include "game/course.h"
#include "tests/game/game_world.h"
#include "tests/support/audio_fixtures.h"

namespace {

using gametest::placeObject;
using gametest::scriptPeakBin;

// Peak bins well inside each band: low (lane 2), middle (lane 1), high (lane 3).
constexpr int LOW_BIN = 5;
constexpr int MIDDLE_BIN = 30;
constexpr int HIGH_BIN = 100;

// Off every lane, so nothing is collected.
constexpr float NO_LANE = 5.5f;

class CourseTest : public ::testing::Test {
protected:
    void SetUp() override {
        play = gametest::makePlay();
        play.inMenu = false;
        gametest::startSong(gametest::kSongs[0]);
    }
    void TearDown() override { gametest::stopScript(); }

    // One frame of play with the song's peak in `bin`; true when it made an object.
    bool frame(int bin) {
        const int slot = play.spawnSlot;
        const bool wasFree = !cars.getInUse(slot);
        scriptPeakBin(bin);
        updateCourse(play, frameTime);
        return wasFree && cars.getInUse(slot);
    }

    static int binOf(char band) { return band == 'L' ? LOW_BIN : band == 'M' ? MIDDLE_BIN : HIGH_BIN; }

    PlayState play;
    double frameTime = gametest::kFrameTime;
};

TEST_F(CourseTest, BandEdgesInBins) {
    struct Case {
        int bin;
        int lane;
        float z;
    };
    const Case cases[] = {{0, 2, 0.0f},    {17, 2, 0.0f},   {18, 1, -3.1f},
                          {68, 1, -3.1f}, {69, 3, 3.1f},  {8191, 3, 3.1f}};
    for (const Case& c : cases) {
        play = gametest::makePlay();
        play.inMenu = false;
        for (float& cooldown : play.spawnCooldown) {
            cooldown = -1.0f;  // every band has been current before, but not last frame
        }
        ASSERT_TRUE(frame(c.bin)) << "bin " << c.bin;
        EXPECT_EQ(cars.getLane(0), c.lane) << "bin " << c.bin;
        EXPECT_FLOAT_EQ(cars.getZ(0), c.z) << "bin " << c.bin;
    }
}

// From program start: every band starts ten frames away from spawning, and a
// band makes an object only on a frame in which it becomes current again.
TEST_F(CourseTest, OneObjectPerEntryIntoABand) {
    struct Case {
        const char* bands;
        const char* spawns;
    };
    const Case cases[] = {
        {"L", "."},
        {"LML", "..x"},
        {"LLLL", "...."},
        {"LMH", "..."},
        {"LMLMLM", "..xxxx"},
        {"MMMMMMMMMH", ".........."},
        {"MMMMMMMMMMH", "..........x"},
        {"LMMMMMLLLH", "......x..."},
        {"LMLLLLMMMM", "..x...x..."},
    };
    player.setLateral(NO_LANE);
    for (const Case& c : cases) {
        play = gametest::makePlay();
        play.inMenu = false;
        player.setLateral(NO_LANE);
        std::string made;
        for (const char* band = c.bands; *band != '\0'; ++band) {
            const int slot = play.spawnSlot;
            const bool spawned = frame(binOf(*band));
            made += spawned ? 'x' : '.';
            if (spawned) {
                EXPECT_EQ(cars.getLane(slot), *band == 'L' ? 2 : *band == 'M' ? 1 : 3) << c.bands;
            }
        }
        EXPECT_EQ(made, c.spawns) << "bands " << c.bands;
    }
}

// At 60 frames per second an object lives 71 frames; with a band change on every
// frame the pool fills after 20, spawns are dropped until a slot frees, and the
// freed slot is taken again when spawnSlot comes round to it.
TEST_F(CourseTest, FullPoolDropsSpawnsUntilASlotFrees) {
    player.setLateral(NO_LANE);
    for (float& cooldown : play.spawnCooldown) {
        cooldown = -1.0f;
    }
    std::string made;
    for (int frameNo = 1; frameNo <= 85; ++frameNo) {
        const int bin = (frameNo % 2 == 1) ? LOW_BIN : MIDDLE_BIN;
        made += frame(bin) ? 'x' : '.';
        if (frameNo == 21) {
            // The dropped spawn still marks its band as current.
            EXPECT_FLOAT_EQ(play.spawnCooldown[1], 1.0f);
        }
        if (frameNo == 70) {
            EXPECT_GE(cars.getX(0), -30.0f);
        }
        if (frameNo == 71) {
            EXPECT_LT(cars.getX(0), -30.0f);
            EXPECT_TRUE(cars.getInUse(0)) << "still in use after 71 frames";
        }
        if (frameNo == 72) {
            EXPECT_FALSE(cars.getInUse(0)) << "removed on the 72nd frame";
        }
    }
    EXPECT_EQ(made, std::string(20, 'x') + std::string(60, '.') + std::string(5, 'x'));
    EXPECT_NEAR(cars.getX(0), 100.0f - 5 * 110.0f / 60.0f, 1e-3f) << "slot 0 holds the object born on frame 81";
}

TEST_F(CourseTest, ObjectsGrowToFullSizeInEightFrames) {
    placeObject(3, 1, 4, COLOR_RED, 100.0f);
    player.setLateral(NO_LANE);
    for (int frameNo = 1; frameNo <= 10; ++frameNo) {
        frame(LOW_BIN);
        EXPECT_NEAR(cars.getScale(3), frameNo < 8 ? 0.01f + 0.1f * frameNo : 0.81f, 1e-5f) << "frame " << frameNo;
    }
}

// Collection happens in the zone -15.5..-10 of the distance the object had
// before this frame's move, in the ship's own lane only.
TEST_F(CourseTest, CollectionZoneAndLanes) {
    struct Case {
        float x;
        float shipY;
        int lane;
        bool collected;
    };
    const Case cases[] = {
        {-9.99f, 0.0f, 2, false}, {-10.0f, 0.0f, 2, true},  {-12.0f, 0.0f, 2, true},  {-15.5f, 0.0f, 2, true},
        {-15.6f, 0.0f, 2, false}, {-12.0f, 1.0f, 2, false}, {-12.0f, 1.0f, 3, false}, {-12.0f, -1.0f, 2, false},
        {-12.0f, -1.0f, 1, false}, {-12.0f, 0.0f, 1, false}, {-12.0f, -3.0f, 1, true}, {-12.0f, 3.0f, 3, true},
    };
    for (const Case& c : cases) {
        play = gametest::makePlay();  // first frame of a run: no band may spawn
        play.inMenu = false;
        player.setLateral(c.shipY);
        placeObject(7, c.lane, KIND_BONUS, COLOR_NONE, c.x);
        frame(LOW_BIN);
        EXPECT_EQ(cars.getHit(7), c.collected) << "x " << c.x << " ship " << c.shipY << " lane " << c.lane;
        EXPECT_EQ(cars.getInUse(7), !c.collected) << "x " << c.x << " ship " << c.shipY << " lane " << c.lane;
        EXPECT_EQ(player.getPoints(), c.collected ? 20 : 0) << "x " << c.x << " ship " << c.shipY;
    }
}

TEST_F(CourseTest, ObjectEnteringTheZoneIsCollectedOnTheNextFrame) {
    player.setLateral(0.0f);
    placeObject(2, 2, KIND_BONUS, COLOR_NONE, -9.0f);
    frame(LOW_BIN);
    EXPECT_TRUE(cars.getInUse(2)) << "x before the move was -9";
    EXPECT_LT(cars.getX(2), -10.0f);
    frame(LOW_BIN);
    EXPECT_TRUE(cars.getHit(2));
    EXPECT_EQ(player.getPoints(), 20);
    EXPECT_EQ(gametest::lastEffectSound(), static_cast<const void*>(audio.bonusHitSound));
}

TEST_F(CourseTest, SkullPenaltyByPointsBefore) {
    struct Case {
        int before;
        int after;
    };
    const Case cases[] = {{-5, -15}, {0, -10}, {5, -5},     {89, 79},     {90, 90},  {95, 95},
                          {99, 99},  {100, 10}, {999, 909}, {1000, 1000}, {1001, 871}, {1200, 1070}};
    for (const Case& c : cases) {
        play = gametest::makePlay();
        play.inMenu = false;
        play.comboBonus = 30;
        player.setLateral(0.0f);
        player.addPoints(c.before);
        placeObject(0, 2, KIND_SKULL, COLOR_NONE, -12.0f);
        frame(LOW_BIN);
        EXPECT_EQ(player.getPoints(), c.after) << "points before " << c.before;
        EXPECT_EQ(play.comboBonus, 0);
        EXPECT_EQ(gametest::lastEffectSound(), static_cast<const void*>(audio.skullHitSound));
    }
}

TEST_F(CourseTest, BlockChainsAndWhatEndsThem) {
    struct Step {
        int kind;
        int color;
        int gain;
        int comboAfter;
        int chainAfter;
    };
    // chainColor starts blue, so the very first blue block already chains.
    const Step steps[] = {
        {5, COLOR_BLUE, 13, 10, COLOR_BLUE},  {5, COLOR_BLUE, 23, 20, COLOR_BLUE},
        {5, COLOR_RED, 3, 0, COLOR_RED},      {9, COLOR_RED, 13, 10, COLOR_RED},
        {KIND_BONUS, COLOR_NONE, 20, 0, COLOR_RED}, {3, COLOR_RED, 13, 10, COLOR_RED},
        {KIND_SKULL, COLOR_NONE, -10, 0, COLOR_RED}, {10, COLOR_GREEN, 3, 0, COLOR_GREEN},
    };
    player.setLateral(-3.0f);
    int points = 0;
    for (const Step& step : steps) {
        placeObject(0, 1, step.kind, step.color, -11.0f);
        frame(LOW_BIN);
        points += step.gain;
        EXPECT_EQ(player.getPoints(), points) << "kind " << step.kind << " colour " << step.color;
        EXPECT_EQ(play.comboBonus, step.comboAfter);
        EXPECT_EQ(play.chainColor, step.chainAfter);
        const void* expected = step.kind == KIND_BONUS   ? audio.bonusHitSound
                               : step.kind == KIND_SKULL ? audio.skullHitSound
                                                         : audio.blockHitSound;
        EXPECT_EQ(gametest::lastEffectSound(), expected) << "kind " << step.kind;
    }
}

// While paused the sound is not asked: the pitch is 0, so the low band is current.
TEST_F(CourseTest, PausedCourseStandsStillButStillCollects) {
    for (float& cooldown : play.spawnCooldown) {
        cooldown = -1.0f;
    }
    play.spawnSlot = 0;
    player.setLateral(0.0f);
    placeObject(10, 1, 6, COLOR_GREEN, 50.0f);
    placeObject(11, 2, KIND_BONUS, COLOR_NONE, -12.0f);
    play.paused = true;
    const int readsBefore = gametest::spectrumReads();
    std::string made;
    for (int frameNo = 0; frameNo < 3; ++frameNo) {
        made += frame(HIGH_BIN) ? 'x' : '.';
    }
    EXPECT_EQ(gametest::spectrumReads(), readsBefore);
    EXPECT_EQ(made, "x..");
    EXPECT_EQ(cars.getLane(0), 2);
    EXPECT_FLOAT_EQ(cars.getX(0), 100.0f);
    EXPECT_FLOAT_EQ(cars.getScale(0), 0.01f);
    EXPECT_FLOAT_EQ(cars.getX(10), 50.0f);
    EXPECT_FLOAT_EQ(cars.getScale(10), 0.01f);
    EXPECT_TRUE(cars.getHit(11)) << "an object already in the zone is collected while paused";
    EXPECT_EQ(player.getPoints(), 20);
}

TEST_F(CourseTest, InactiveWindowFreezesTheCourse) {
    player.setLateral(0.0f);
    placeObject(4, 3, 7, COLOR_BLUE, 50.0f);
    placeObject(5, 2, KIND_BONUS, COLOR_NONE, -12.0f);
    placeObject(6, 1, 8, COLOR_RED, -31.0f);
    play.active = false;
    for (int frameNo = 0; frameNo < 5; ++frameNo) {
        frame(MIDDLE_BIN);
    }
    EXPECT_FLOAT_EQ(cars.getX(4), 50.0f);
    EXPECT_FLOAT_EQ(cars.getScale(4), 0.01f);
    EXPECT_TRUE(cars.getInUse(5));
    EXPECT_FALSE(cars.getHit(5));
    EXPECT_TRUE(cars.getInUse(6)) << "not removed while the window is inactive";
    EXPECT_EQ(player.getPoints(), 0);

    play.active = true;
    frame(MIDDLE_BIN);
    EXPECT_TRUE(cars.getHit(5));
    EXPECT_FALSE(cars.getInUse(6));
    EXPECT_LT(cars.getX(4), 50.0f);
}

// A song of tones in all three bands, analysed by the engine itself, with the
// ship changing lanes on a fixed pattern: the course and the score come out
// the same every time the same seed is used.
struct RunResult {
    std::vector<int> points;  // after every frame
    int objects = 0;
    bool finished = false;
};

RunResult playScriptedSong(unsigned seed) {
    static bool written = false;
    if (!written) {
        const double bands[] = {30.0, 120.0, 500.0, 120.0, 30.0, 500.0, 30.0, 120.0, 500.0, 500.0, 120.0, 30.0};
        fixtures::ToneSong song = fixtures::silence(0.1);
        for (int repeat = 0; repeat < 2; ++repeat) {
            for (double frequency : bands) {
                song.then(fixtures::tone(frequency, 0.25));
            }
        }
        std::string error;
        written = fixtures::writeSong(gametest::worldDir() + "/resources/Music/course.ogg", fixtures::AudioFormat::Ogg,
                                      song, &error);
        EXPECT_TRUE(written) << error;
    }
    gametest::stopScript();
    PlayState play = gametest::makePlay();
    play.inMenu = false;
    std::srand(seed);
    gametest::startSong("course.ogg");
    const float lanes[] = {0.0f, -3.0f, 3.0f};
    RunResult run;
    for (int frameNo = 0; frameNo < 2000; ++frameNo) {
        snd::testing::render(800);  // 1/60 s at 48 kHz
        player.setLateral(lanes[(frameNo / 25) % 3]);
        const int slot = play.spawnSlot;
        const bool wasFree = !cars.getInUse(slot);
        updateCourse(play, gametest::kFrameTime);
        if (wasFree && cars.getInUse(slot)) {
            ++run.objects;
        }
        run.points.push_back(player.getPoints());
        if (audio.songFinished() && cars.allInactive()) {
            run.finished = true;
            break;
        }
    }
    return run;
}

TEST_F(CourseTest, SameSeededSongGivesTheSameScore) {
    const RunResult first = playScriptedSong(4242);
    const RunResult second = playScriptedSong(4242);
    ASSERT_TRUE(first.finished);
    EXPECT_GE(first.objects, 8);
    int changes = 0;
    for (std::size_t i = 1; i < first.points.size(); ++i) {
        changes += first.points[i] != first.points[i - 1];
    }
    EXPECT_GE(changes, 3) << "the ship collects along the way";
    EXPECT_EQ(first.objects, second.objects);
    EXPECT_EQ(first.points, second.points);
}

}  // namespace
