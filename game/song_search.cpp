#include "game/song_search.h"

#include <cstdio>

#include "text/glyph_text.h"

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The first song from `from` on, wrapping, whose name starts with `typed`; -1
// when none does. Looks at each name once.
int findFrom(const std::vector<std::string>& names, std::size_t from, const char* typed, std::size_t length) {
    const std::size_t count = names.size();
    for (std::size_t step = 0; step < count; ++step) {
        const std::size_t index = (from + step) % count;
        if (nameStartsWith(names[index].c_str(), typed, length)) {
            return static_cast<int>(index);
        }
    }
    return -1;
}

// Writes `value` with a comma between groups of three digits.
std::size_t writeGrouped(unsigned value, char* out) {
    char digits[16];
    const int length = std::snprintf(digits, sizeof digits, "%u", value);
    std::size_t written = 0;
    for (int i = 0; i < length; ++i) {
        if (i > 0 && (length - i) % 3 == 0) {
            out[written++] = ',';
        }
        out[written++] = digits[i];
    }
    return written;
}

}  // namespace

bool nameStartsWith(const char* name, const char* typed, std::size_t length) {
    std::size_t matched = 0;
    std::size_t at = 0;
    while (matched < length && name[at] != 0) {
        const CharacterGlyphs glyphs = readGlyphs(name + at);
        for (std::size_t i = 0; i < glyphs.count && matched < length; ++i) {
            if (lower(glyphs.codes[i]) != typed[matched]) {
                return false;
            }
            ++matched;
        }
        at += glyphs.bytes;
    }
    return matched == length;
}

char SongSearch::typedCharacter(std::uint32_t key) {
    if (key >= 0x30 && key <= 0x39) {
        return static_cast<char>(key);
    }
    if (key >= 0x41 && key <= 0x5A) {
        return static_cast<char>(key - 0x41 + 'a');
    }
    if (key >= 0x60 && key <= 0x69) {
        return static_cast<char>(key - 0x60 + '0');
    }
    return 0;
}

int SongSearch::type(char c, std::uint32_t nowMs, const std::vector<std::string>& names, int selected) {
    if (nowMs - lastMs_ > kPauseMs) {
        length_ = 0;
    }
    lastMs_ = nowMs;
    c = lower(c);
    bool sameLetter = true;
    for (std::size_t i = 0; i < length_; ++i) {
        sameLetter = sameLetter && prefix_[i] == c;
    }
    // A run of one letter is kept as two, however long it goes on; a prefix
    // longer than any name anyone types takes no more.
    if (sameLetter && length_ >= 2) {
        length_ = 2;
    } else if (length_ == kPrefixSize) {
        return selected;
    } else {
        prefix_[length_++] = c;
    }
    if (names.empty()) {
        return selected;
    }
    const std::size_t current =
        selected >= 0 && static_cast<std::size_t>(selected) < names.size() ? static_cast<std::size_t>(selected) : 0;
    // One letter, or the same one again: on to the next song with it. A longer
    // prefix keeps the selection while it still matches.
    const int found = sameLetter ? findFrom(names, current + 1, prefix_, 1) : findFrom(names, current, prefix_, length_);
    return found >= 0 ? found : selected;
}

int SongSearch::typeKeys(const bool* keys, bool typing, std::uint32_t nowMs, const std::vector<std::string>& names,
                         int selected) {
    for (std::uint32_t key = 0; key < 256; ++key) {
        const bool wentDown = keys[key] && !down_[key];
        down_[key] = keys[key];
        const char c = wentDown && typing ? typedCharacter(key) : 0;
        if (c != 0) {
            selected = type(c, nowMs, names, selected);
        }
    }
    return selected;
}

std::size_t formatSongPosition(int index, int count, char* out, std::size_t capacity) {
    char text[64] = "Song ";
    std::size_t length = 5;
    length += writeGrouped(static_cast<unsigned>(index < 0 ? 0 : index) + 1, text + length);
    for (const char* of = " of "; *of != 0; ++of) {
        text[length++] = *of;
    }
    length += writeGrouped(static_cast<unsigned>(count < 0 ? 0 : count), text + length);
    text[length] = '\0';
    if (capacity == 0) {
        return 0;
    }
    std::snprintf(out, capacity, "%s", text);
    return length < capacity ? length : capacity - 1;
}
