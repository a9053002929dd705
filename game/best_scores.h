#pragma once

// The best score of every song the player has finished, and the plain-text
// file that keeps them. A song is known by its entry in the song list, any
// byte string. The file, one song per line after a version line:
//
//   redavave best scores 1
//   1250 Artist/Album/01 - Intro.mp3
//   -40 Odd\x0Aname.ogg
//
// Each line is the score (a signed 32-bit decimal), one space, and the name
// to the end of the line. In the name a backslash is written "\\" and every
// byte below 0x20, 0x7F and every byte that is not part of valid UTF-8 as
// "\xHH"; everything else stands as it is, so names read as they look.
// Lines end in LF (a CR before it is accepted); they are sorted by name.

#include <cstddef>
#include <string>
#include <memory>
#include <string_view>
#include <vector>

inline constexpr const char* kBestScoresFile = "best-scores.txt";
inline constexpr const char* kBestScoresVersionLine = "redavave best scores 1";
// No line the game writes comes near this; a longer one is damage.
inline constexpr std::size_t kBestScoresLongestLine = 64 * 1024;

struct ScoresReading;

// Songs in byte order of their names, with the names kept in a few large
// buffers (the file's own bytes where a name needs no escape), so that a
// hundred thousand songs load and go with a handful of allocations.
class BestScores {
public:
    struct Entry {
        std::string_view song;
        int score;
        unsigned line;  // where it stood in the file, for its reader
    };

    // The song's best, or null for a song never finished.
    const int* find(std::string_view song) const;
    // A finished song's score: kept when it is the song's first or beats its
    // best. Returns whether it was kept.
    bool offer(std::string_view song, int score);
    std::size_t size() const { return entries_.size(); }
    const std::vector<Entry>& entries() const { return entries_; }

private:
    friend ScoresReading parseBestScores(std::string&& content);
    std::vector<Entry> entries_;
    std::vector<std::shared_ptr<const std::string>> storage_;  // what the names point into
};

// What a scores file held. `damaged` when anything in it was not a line the
// game writes; `problem` then says what and where, first problem only.
// `newer` for the file of a newer version of the game, which gives nothing:
// its lines may mean otherwise.
struct ScoresReading {
    BestScores scores;
    bool damaged = false;
    bool newer = false;
    std::string problem;
};

// Reads the file's bytes (kept, for the names). Every good line counts, whatever surrounds it; a
// line cut off by the end of the file, a bad line, a duplicate (the higher
// score counts), a missing or foreign version line make it damaged.
ScoresReading parseBestScores(std::string&& content);
ScoresReading parseBestScores(const char* data, std::size_t size);

// The whole file for `scores`.
std::string serialiseBestScores(const BestScores& scores);

// A name as it stands in the file, and back; false for a broken escape or a
// NUL byte.
bool unescapeSongName(const char* text, std::size_t size, std::string& out);
void escapeSongName(std::string_view name, std::string& out);
