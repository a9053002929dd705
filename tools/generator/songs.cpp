#include "tools/generator/songs.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "tools/generator/noise.h"
#include "tools/generator/synth.h"

// The course sorts the song's strongest frequency into three bands: below
// 50 Hz, 50 to 200 Hz, above 200 Hz, and a band that comes back makes a new
// object. So the arrangement hands the lead from voice to voice within every
// bar: a sub bass (31 to 44 Hz), a bass (55 to 147 Hz) and a melody (above
// 290 Hz) take turns, each for a beat or so, over a steady beat.

namespace {

enum class Part { Intro, Verse, Chorus, Break, Outro };

// One bar of a voice in sixteenth steps: 'x' starts a note, '-' holds it, '.' rests.
struct BarPatterns {
    const char* sub;
    const char* bass;
    const char* lead;
    const char* kick;
    const char* snare;
    const char* hat;
};

struct SongPlan {
    SongInfo info;
    int tonic;                     // MIDI note of the key
    std::vector<int> scale;        // semitones above the tonic
    std::vector<int> progression;  // scale degree of each bar's chord, repeated
    std::vector<std::pair<Part, int>> form;
    BarPatterns verseA, verseB, chorus, interlude;
    std::uint64_t seed;
    float brightness;
    float swing;  // fraction of a step by which off-beat sixteenths come late
};

const std::vector<int> kMinor = {0, 2, 3, 5, 7, 8, 10};
const std::vector<int> kDorian = {0, 2, 3, 5, 7, 9, 10};

// Registers, as MIDI notes, that keep each voice inside its band with a margin.
constexpr int kSubLow = 23, kSubHigh = 29;    // 30.9 to 43.7 Hz
constexpr int kBassLow = 33, kBassHigh = 50;  // 55 to 147 Hz
constexpr int kLeadLow = 62, kLeadHigh = 81;  // 294 to 880 Hz

const std::vector<std::pair<Part, int>> kForm = {{Part::Intro, 2}, {Part::Verse, 8}, {Part::Chorus, 8},
                                                 {Part::Break, 2}, {Part::Verse, 8}, {Part::Chorus, 8},
                                                 {Part::Outro, 2}};

int formBars(const std::vector<std::pair<Part, int>>& form) {
    int bars = 0;
    for (const auto& part : form) {
        bars += part.second;
    }
    return bars;
}

const std::vector<SongPlan>& plans() {
    static const std::vector<SongPlan> kPlans = {
        {{"Neon Drift.mp3", 120.0f, formBars(kForm)},
         57,
         kMinor,
         {0, 5, 2, 6},
         kForm,
         {"x---............", "....x-x-....x-..", "........x-xx....", "x.......x.......", "....x.......x...",
          "..x...x...x...x."},
         {"x---............", "....x-x-........", "........x-x-x-xx", "x.......x.x.....", "....x.......x...",
          "..x...x...x...xx"},
         {"x--.............", "........x-x-....", "...x-xx-....x-xx", "x.....x...x.....", "....x.......x...",
          "x.x.x.x.x.x.x.x."},
         {"x-------........", "................", "........x---x---", "x...............", "................",
          "..x...x...x...x."},
         1001,
         0.6f,
         0.0f},
        {{"Orbit Runner.ogg", 128.0f, formBars(kForm)},
         52,
         kMinor,
         {0, 5, 6, 4},
         kForm,
         {"x--.........x-..", "...x-.x-........", "........x.x.x...", "x.......x.......", "....x.......x...",
          "x.x.x.x.x.x.x.x."},
         {"x--.............", "...x-.x-....x-x-", "........x.xx....", "x.......x..x....", "....x.......x...",
          "x.x.x.x.x.x.x.xx"},
         {"x-..........x-..", "..x-x-..........", "......x-x-x-....", "x...x...x...x...", "....x.......x...",
          "..x...x...x...x."},
         {"x-------........", "................", "........x-x-x---", "x.......x.......", "................",
          "x.x.x.x.x.x.x.x."},
         2002,
         0.9f,
         0.0f},
        {{"Lunar Groove.flac", 104.0f, formBars(kForm)},
         50,
         kDorian,
         {0, 3, 0, 6},
         kForm,
         {"x--.........x...", "...x.xx.........", "........x--x-...", "x......x..x.....", "....x.......x...",
          "..x...x...x...x."},
         {"x--.............", "...x.xx.....x-x.", "........x-x.....", "x......x..x.....", "....x.......x..x",
          "..x...x...x.x.x."},
         {"x--.............", "........x.x.x...", "...x-x-.....x-x-", "x.........x.....", "....x.......x...",
          "x.xxx.xxx.xxx.xx"},
         {"x-------........", "................", "........x--.x---", "x...............", "................",
          "..x...x...x...x."},
         3003,
         0.4f,
         0.12f},
    };
    return kPlans;
}

// MIDI notes of the chord on scale degree `degree`, as pitch classes above the tonic.
std::vector<int> chordTones(const SongPlan& plan, int degree) {
    std::vector<int> tones;
    for (const int step : {0, 2, 4}) {
        const int d = degree + step;
        tones.push_back(plan.tonic + plan.scale[d % 7] + 12 * (d / 7));
    }
    return tones;  // root, third, fifth
}

// The first of `tones` (in the order given) that has an octave inside [low, high].
int placeInRange(const std::vector<int>& tones, int low, int high) {
    for (const int tone : tones) {
        for (int note = tone - 96; note <= high; note += 12) {
            if (note >= low) {
                return note;
            }
        }
    }
    return low;
}

struct Note {
    int step;
    int length;
};

std::vector<Note> parse(const char* pattern) {
    std::vector<Note> notes;
    for (int i = 0; i < 16 && pattern[i] != '\0'; ++i) {
        if (pattern[i] == 'x') {
            notes.push_back({i, 1});
        } else if (pattern[i] == '-' && !notes.empty()) {
            ++notes.back().length;
        }
    }
    return notes;
}

// The notes of the scale inside the lead's register.
std::vector<int> leadScale(const SongPlan& plan) {
    std::vector<int> notes;
    for (int note = kLeadLow; note <= kLeadHigh; ++note) {
        const int degree = ((note - plan.tonic) % 12 + 12) % 12;
        if (std::find(plan.scale.begin(), plan.scale.end(), degree) != plan.scale.end()) {
            notes.push_back(note);
        }
    }
    return notes;
}

int nearestIndex(const std::vector<int>& notes, int target) {
    int best = 0;
    for (int i = 1; i < static_cast<int>(notes.size()); ++i) {
        if (std::abs(notes[i] - target) < std::abs(notes[best] - target)) {
            best = i;
        }
    }
    return best;
}

bool isChordTone(const std::vector<int>& chord, int note) {
    for (const int tone : chord) {
        if (((note - tone) % 12 + 12) % 12 == 0) {
            return true;
        }
    }
    return false;
}

// A melody for one bar: the same seed gives the same contour, so phrases come
// back when their section does, bent to each bar's chord.
std::vector<int> melody(const SongPlan& plan, const std::vector<Note>& rhythm, const std::vector<int>& chord,
                        std::uint64_t seed, int& previous) {
    const std::vector<int> scale = leadScale(plan);
    Random random(seed);
    std::vector<int> out;
    int index = nearestIndex(scale, previous);
    for (std::size_t k = 0; k < rhythm.size(); ++k) {
        if (k == 0) {
            // Start each figure on the chord tone nearest to where the last one ended.
            int best = -1;
            for (int i = 0; i < static_cast<int>(scale.size()); ++i) {
                if (isChordTone(chord, scale[i]) && (best < 0 || std::abs(scale[i] - previous) <
                                                                     std::abs(scale[best] - previous))) {
                    best = i;
                }
            }
            index = best < 0 ? index : best;
        } else {
            int move = random.below(5) - 2;
            if (move == 0) {
                move = random.below(2) == 0 ? 1 : -1;
            }
            index += move;
            if (index < 0 || index >= static_cast<int>(scale.size())) {
                index -= 2 * move;  // turn back at the edge of the register
            }
            index = std::clamp(index, 0, static_cast<int>(scale.size()) - 1);
            // Long notes settle on the harmony.
            if (rhythm[k].length >= 2 && !isChordTone(chord, scale[index]) && index + 1 < static_cast<int>(scale.size())) {
                ++index;
            }
        }
        out.push_back(scale[index]);
    }
    if (!out.empty()) {
        previous = out.back();
    }
    return out;
}

const BarPatterns& patternsFor(const SongPlan& plan, Part part, int barInPart) {
    switch (part) {
        case Part::Chorus: return plan.chorus;
        case Part::Break: return plan.interlude;
        case Part::Intro: return barInPart % 2 == 0 ? plan.interlude : plan.verseB;
        case Part::Outro: return barInPart % 2 == 0 ? plan.chorus : plan.interlude;
        case Part::Verse: break;
    }
    return barInPart % 2 == 0 ? plan.verseA : plan.verseB;
}

struct Mixer {
    explicit Mixer(std::size_t frames) : drums(frames), sub(frames), low(frames), lead(frames), pads(frames) {}
    Bus drums, sub, low, lead, pads;
};

void renderBar(const SongPlan& plan, Mixer& mix, int bar, Part part, int barInPart, int& melodyNote,
               Random& random) {
    const float stepSeconds = 60.0f / plan.info.bpm / 4.0f;
    const float barStart = static_cast<float>(bar) * 16.0f * stepSeconds;
    auto at = [&](int step) {
        const float swing = (step % 2 == 1) ? plan.swing * stepSeconds : 0.0f;
        return static_cast<std::size_t>((barStart + static_cast<float>(step) * stepSeconds + swing) * kSampleRate);
    };
    const BarPatterns& p = patternsFor(plan, part, barInPart);
    const std::vector<int> chord = chordTones(plan, plan.progression[bar % plan.progression.size()]);
    const bool drumsOn = part != Part::Intro || barInPart > 0;
    const bool fading = part == Part::Outro;
    const float fade = fading ? 1.0f - 0.35f * static_cast<float>(barInPart) : 1.0f;

    // The sub bass prefers the chord's root, then its fifth, then its third.
    const int subNote = placeInRange({chord[0], chord[2], chord[1]}, kSubLow, kSubHigh);
    for (const Note& n : parse(p.sub)) {
        mix.sub.add(at(n.step), subBass(midiToHz(static_cast<float>(subNote)), n.length * stepSeconds * 0.95f, fade), 0);
    }
    const int bassRoot = placeInRange({chord[0]}, kBassLow, kBassHigh);
    const int riff[4] = {0, 12, 7, 0};
    int k = 0;
    for (const Note& n : parse(p.bass)) {
        int note = bassRoot + riff[k++ % 4];
        while (note > kBassHigh) {
            note -= 5;  // the fifth below the octave stays in the register
        }
        mix.low.add(at(n.step), bass(midiToHz(static_cast<float>(note)), n.length * stepSeconds * 0.9f, fade), 0);
    }
    const std::vector<Note> rhythm = parse(p.lead);
    const std::uint64_t phraseSeed = plan.seed * 31 + static_cast<std::uint64_t>(part) * 7 + barInPart % 4;
    const std::vector<int> notes = melody(plan, rhythm, chord, phraseSeed, melodyNote);
    for (std::size_t i = 0; i < rhythm.size(); ++i) {
        const float pan = (i % 2 == 0) ? -0.15f : 0.15f;
        mix.lead.add(at(rhythm[i].step),
                     lead(midiToHz(static_cast<float>(notes[i])), rhythm[i].length * stepSeconds * 0.9f, fade,
                          plan.brightness),
                     pan);
    }
    if (part != Part::Verse) {
        std::vector<float> padNotes;
        for (const int tone : chord) {
            padNotes.push_back(midiToHz(static_cast<float>(placeInRange({tone}, 57, 68))));
        }
        mix.pads.add(at(0), pad(padNotes, 16 * stepSeconds, fade), 0);
    }
    if (!drumsOn) {
        return;
    }
    for (const Note& n : parse(p.kick)) {
        mix.drums.add(at(n.step), kick(fade), 0);
    }
    for (const Note& n : parse(p.snare)) {
        mix.drums.add(at(n.step), snare(fade, random), 0.1f);
    }
    for (const Note& n : parse(p.hat)) {
        mix.drums.add(at(n.step), hat(fade * (n.step % 4 == 2 ? 1.0f : 0.6f), n.step % 8 == 6, random),
                      n.step % 4 == 2 ? 0.35f : -0.35f);
    }
}

}  // namespace

const std::vector<SongInfo>& demoSongs() {
    static const std::vector<SongInfo> kSongs = [] {
        std::vector<SongInfo> songs;
        for (const SongPlan& plan : plans()) {
            songs.push_back(plan.info);
        }
        return songs;
    }();
    return kSongs;
}

StereoSamples renderSong(const SongInfo& song) {
    const SongPlan* plan = &plans().front();
    for (const SongPlan& candidate : plans()) {
        if (candidate.info.file == song.file) {
            plan = &candidate;
        }
    }
    const float barSeconds = 4.0f * 60.0f / plan->info.bpm;
    const auto frames = static_cast<std::size_t>((static_cast<float>(plan->info.bars) * barSeconds + 1.5f) * kSampleRate);
    Mixer mix(frames);
    Random random(plan->seed);
    int melodyNote = 69;
    int bar = 0;
    for (const auto& [part, bars] : plan->form) {
        for (int i = 0; i < bars; ++i, ++bar) {
            renderBar(*plan, mix, bar, part, i, melodyNote, random);
        }
    }
    mix.lead.echo(3.0f * 60.0f / plan->info.bpm / 4.0f, 0.3f, 0.22f);
    Bus out(frames);
    mix.drums.mixInto(out, 0.55f);
    mix.sub.mixInto(out, 0.8f);
    mix.low.mixInto(out, 0.5f);
    mix.lead.mixInto(out, 0.38f);
    mix.pads.mixInto(out, 0.06f);
    return master(out, 0.89f);
}

StereoSamples renderEffect(const std::string& name) {
    const float seconds = 0.6f;
    Bus out(static_cast<std::size_t>(seconds * kSampleRate));
    Random random(7);
    if (name == "blockHit") {
        // A bright, short chime on E6 with a fifth above, and a click.
        out.add(0, lead(midiToHz(88), 0.05f, 0.6f, 1.0f), -0.1f);
        out.add(0, lead(midiToHz(95), 0.04f, 0.3f, 1.0f), 0.1f);
        out.add(0, hat(0.5f, false, random), 0);
    } else if (name == "bonusHit") {
        // A rising major arpeggio.
        const int notes[4] = {72, 76, 79, 84};
        for (int i = 0; i < 4; ++i) {
            out.add(static_cast<std::size_t>(i * 0.06f * kSampleRate), lead(midiToHz(static_cast<float>(notes[i])), 0.12f, 0.45f, 0.8f),
                    -0.3f + 0.2f * static_cast<float>(i));
        }
        out.echo(0.09f, 0.3f, 0.3f);
    } else {
        // A falling growl with a thump under it.
        std::vector<float> growl(static_cast<std::size_t>(0.5f * kSampleRate));
        float phase = 0;
        for (std::size_t i = 0; i < growl.size(); ++i) {
            const float t = static_cast<float>(i) / kSampleRate;
            phase += (180.0f * std::exp(-t / 0.25f) + 50.0f) / kSampleRate;
            phase -= std::floor(phase);
            const float saw = 2.0f * phase - 1.0f;
            growl[i] = 0.7f * std::tanh(3.0f * saw) * std::exp(-t / 0.2f);
        }
        out.add(0, growl, 0);
        out.add(0, kick(0.8f), 0);
        out.add(0, snare(0.5f, random), 0);
    }
    return master(out, 0.8f);
}
