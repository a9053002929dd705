#pragma once

// Finding a song in a long menu by typing the start of its name. Names are
// matched as the menu draws them (accents and ligatures in their plain forms)
// and without regard to case; typing allocates nothing and looks at each name
// at most once per key.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Whether `name`, as drawn, starts with `typed` (`length` lower-case letters
// and digits).
bool nameStartsWith(const char* name, const char* typed, std::size_t length);

class SongSearch {
public:
    // The letter or digit of virtual key `key` in lower case, or 0 for any
    // other key. Keypad digits type digits.
    static char typedCharacter(std::uint32_t key);

    // `c` (a letter or digit, any case) typed at `nowMs` milliseconds (a
    // clock that may wrap); returns the song to select: the next one, from
    // `selected` on, whose name starts with what has been typed since the
    // last pause of more than a second. The first letter of a new prefix,
    // and the same letter typed again and again, step on from the song after
    // `selected`. `selected` itself when nothing matches.
    int type(char c, std::uint32_t nowMs, const std::vector<std::string>& names, int selected);

    // Types each letter or digit key that went down since the last call
    // (`keys` as the message handler keeps them, 256 entries) when `typing`;
    // returns the song to select. Called every frame, also when not typing,
    // so that a key held into the menu (A steering, say) types nothing.
    int typeKeys(const bool* keys, bool typing, std::uint32_t nowMs, const std::vector<std::string>& names,
                 int selected);

private:
    static constexpr std::size_t kPrefixSize = 64;
    static constexpr std::uint32_t kPauseMs = 1000;
    char prefix_[kPrefixSize] = {};
    std::size_t length_ = 0;
    std::uint32_t lastMs_ = 0;
    bool down_[256] = {};  // keys seen down at the last call
};

// Writes "Song 2,315 of 14,002" for the song at `index` (from 0) of `count`
// into `out`; returns its length.
std::size_t formatSongPosition(int index, int count, char* out, std::size_t capacity);
