#include "game/best_scores.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// Length of the valid UTF-8 sequence at `text` (shortest form, no surrogates),
// or 0 when the bytes there are not one.
std::size_t utf8Length(const unsigned char* text, std::size_t size) {
    const unsigned char lead = text[0];
    std::size_t length = 0;
    unsigned min = 0;
    unsigned value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, value = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, value = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, value = lead & 0x07u;
    } else {
        return 0;
    }
    if (size < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((text[i] & 0xC0u) != 0x80u) {
            return 0;
        }
        value = (value << 6) | (text[i] & 0x3Fu);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    return length;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// "<score> " at the start of a line: false for anything else, a score beyond
// 32 bits included. `nameAt` gets where the name starts.
bool parseScore(const char* line, std::size_t size, int& score, std::size_t& nameAt) {
    std::size_t at = 0;
    if (at < size && line[at] == '-') {
        ++at;
    }
    const std::size_t digitsFrom = at;
    while (at < size && line[at] >= '0' && line[at] <= '9') {
        ++at;
    }
    const std::size_t digits = at - digitsFrom;
    if (digits == 0 || digits > 11 || at >= size || line[at] != ' ') {
        return false;
    }
    char number[16] = {};
    std::memcpy(number, line, at);
    const long long value = std::strtoll(number, nullptr, 10);
    if (value < INT_MIN || value > INT_MAX) {
        return false;
    }
    score = static_cast<int>(value);
    nameAt = at + 1;
    return true;
}

// The first problem of a file by line, whatever order they are found in.
struct Problem {
    std::size_t line = 0;
    const char* what = nullptr;
    void note(std::size_t at, const char* text) {
        if (what == nullptr || at < line) {
            line = at;
            what = text;
        }
    }
};

// The version line's number, after `prefix`, above this game's own (a single digit).
bool newerVersion(const char* line, std::size_t length, std::size_t prefix) {
    if (length <= prefix || std::memcmp(line, kBestScoresVersionLine, prefix) != 0 || line[prefix] == '0') {
        return false;
    }
    for (std::size_t at = prefix; at < length; ++at) {
        if (line[at] < '0' || line[at] > '9') {
            return false;
        }
    }
    return length > prefix + 1 || line[prefix] > kBestScoresVersionLine[prefix];
}

bool bySong(const BestScores::Entry& a, const BestScores::Entry& b) { return a.song < b.song; }

}  // namespace

const int* BestScores::find(std::string_view song) const {
    const auto at = std::lower_bound(entries_.begin(), entries_.end(), Entry{song, 0, 0}, bySong);
    return at != entries_.end() && at->song == song ? &at->score : nullptr;
}

bool BestScores::offer(std::string_view song, int score) {
    const auto at = std::lower_bound(entries_.begin(), entries_.end(), Entry{song, 0, 0}, bySong);
    if (at != entries_.end() && at->song == song) {
        if (score <= at->score) {
            return false;
        }
        at->score = score;
        return true;
    }
    storage_.push_back(std::make_shared<const std::string>(song));
    entries_.insert(at, Entry{*storage_.back(), score, 0});
    return true;
}

void escapeSongName(std::string_view name, std::string& out) {
    static const char kHex[] = "0123456789ABCDEF";
    const auto* bytes = reinterpret_cast<const unsigned char*>(name.data());
    const std::size_t size = name.size();
    for (std::size_t at = 0; at < size;) {
        const unsigned char c = bytes[at];
        if (c == '\\') {
            out += "\\\\";
            ++at;
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++at;
        } else if (const std::size_t length = c >= 0x80 ? utf8Length(bytes + at, size - at) : 0; length > 0) {
            out.append(name.substr(at, length));
            at += length;
        } else {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
            ++at;
        }
    }
}

bool unescapeSongName(const char* text, std::size_t size, std::string& out) {
    out.clear();
    if (std::memchr(text, '\\', size) == nullptr) {
        out.assign(text, size);
        return std::memchr(text, '\0', size) == nullptr;
    }
    for (std::size_t at = 0; at < size; ++at) {
        const char c = text[at];
        if (c == '\0') {
            return false;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (at + 1 < size && text[at + 1] == '\\') {
            out += '\\';
            ++at;
            continue;
        }
        if (at + 3 >= size || text[at + 1] != 'x') {
            return false;
        }
        const int high = hexDigit(text[at + 2]);
        const int low = hexDigit(text[at + 3]);
        if (high < 0 || low < 0 || (high == 0 && low == 0)) {
            return false;
        }
        out += static_cast<char>(high * 16 + low);
        at += 3;
    }
    return true;
}

ScoresReading parseBestScores(const char* data, std::size_t size) {
    return parseBestScores(std::string(data, size));
}

ScoresReading parseBestScores(std::string&& content) {
    ScoresReading reading;
    BestScores& scores = reading.scores;
    const auto buffer = std::make_shared<const std::string>(std::move(content));
    const char* const data = buffer->data();
    const std::size_t size = buffer->size();
    std::size_t lines = 0;
    for (const char *at = data, *end = data + size;
         (at = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)))) != nullptr; ++at) {
        ++lines;
    }
    scores.entries_.reserve(lines);

    Problem problem;
    // Names with escapes are written out into one buffer of their own; their
    // views are made once it has stopped growing.
    std::string unescaped;
    struct Unescaped {
        std::size_t entry, from, length;
    };
    std::vector<Unescaped> pending;
    std::string name;
    std::size_t lineNumber = 0;
    for (std::size_t at = 0; at < size;) {
        ++lineNumber;
        const void* found = std::memchr(data + at, '\n', size - at);
        if (found == nullptr) {
            // What the game writes ends in a line break: the file was cut here.
            problem.note(lineNumber, "cut short");
            break;
        }
        const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(found) - data);
        std::size_t length = end - at;
        const char* line = data + at;
        at = end + 1;
        if (length > 0 && line[length - 1] == '\r') {
            --length;
        }
        if (length > kBestScoresLongestLine) {
            problem.note(lineNumber, "line too long");
            continue;
        }
        if (lineNumber == 1) {
            const std::size_t prefix = std::strlen(kBestScoresVersionLine) - 1;  // up to the version number
            if (length == prefix + 1 && std::memcmp(line, kBestScoresVersionLine, length) == 0) {
                continue;
            }
            if (newerVersion(line, length, prefix)) {
                // A newer game's file: its lines are not ours to read.
                reading.newer = true;
                reading.problem = "line 1: a newer version";
                return reading;
            }
            problem.note(lineNumber, "no version line");
        }
        int score = 0;
        std::size_t nameAt = 0;
        if (!parseScore(line, length, score, nameAt) || nameAt == length) {
            problem.note(lineNumber, "not a score and a song");
            continue;
        }
        const char* text = line + nameAt;
        const std::size_t textLength = length - nameAt;
        if (std::memchr(text, '\\', textLength) == nullptr) {
            if (std::memchr(text, '\0', textLength) != nullptr) {
                problem.note(lineNumber, "not a score and a song");
                continue;
            }
            scores.entries_.push_back({std::string_view(text, textLength), score, static_cast<unsigned>(lineNumber)});
        } else {
            if (!unescapeSongName(text, textLength, name)) {
                problem.note(lineNumber, "not a score and a song");
                continue;
            }
            pending.push_back({scores.entries_.size(), unescaped.size(), name.size()});
            unescaped += name;
            scores.entries_.push_back({std::string_view(), score, static_cast<unsigned>(lineNumber)});
        }
    }
    if (lineNumber == 0) {
        problem.note(1, "empty");
    }
    scores.storage_.push_back(buffer);
    if (!pending.empty()) {
        const auto names = std::make_shared<const std::string>(std::move(unescaped));
        scores.storage_.push_back(names);
        for (const Unescaped& u : pending) {
            scores.entries_[u.entry].song = std::string_view(names->data() + u.from, u.length);
        }
    }

    // The game writes the songs in order and each once.
    std::vector<BestScores::Entry>& entries = scores.entries_;
    if (!std::is_sorted(entries.begin(), entries.end(), bySong)) {
        std::stable_sort(entries.begin(), entries.end(), bySong);
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (kept > 0 && entries[kept - 1].song == entries[i].song) {
            BestScores::Entry& first = entries[kept - 1];
            problem.note(std::max(first.line, entries[i].line), "a song listed twice");
            first.score = std::max(first.score, entries[i].score);
            continue;
        }
        entries[kept++] = entries[i];
    }
    entries.resize(kept);

    if (problem.what != nullptr) {
        reading.damaged = true;
        char text[96];
        std::snprintf(text, sizeof text, "line %lu: %s", static_cast<unsigned long>(problem.line), problem.what);
        reading.problem = text;
    }
    return reading;
}

std::string serialiseBestScores(const BestScores& scores) {
    std::string out;
    out.reserve(32 + scores.size() * 48);
    out += kBestScoresVersionLine;
    out += '\n';
    for (const BestScores::Entry& entry : scores.entries()) {
        char number[16];
        std::snprintf(number, sizeof number, "%d ", entry.score);
        out += number;
        escapeSongName(entry.song, out);
        out += '\n';
    }
    return out;
}
