#include "game/best_scores.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// "<score> <name>": false for anything else, a score beyond 32 bits included.
bool parseLine(const char* line, std::size_t size, std::string& name, int& score) {
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
    ++at;
    return unescapeSongName(line + at, size - at, name) && !name.empty();
}

void note(ScoresReading& reading, std::size_t lineNumber, const char* what) {
    if (!reading.damaged) {
        reading.damaged = true;
        char text[96];
        std::snprintf(text, sizeof text, "line %zu: %s", lineNumber, what);
        reading.problem = text;
    }
}

}  // namespace

const int* BestScores::find(const std::string& song) const {
    const auto found = table_.find(song);
    return found == table_.end() ? nullptr : &found->second;
}

bool BestScores::offer(const std::string& song, int score) {
    const auto [at, added] = table_.try_emplace(song, score);
    if (added) {
        return true;
    }
    if (score > at->second) {
        at->second = score;
        return true;
    }
    return false;
}

void escapeSongName(const std::string& name, std::string& out) {
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
            out.append(name, at, length);
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
    ScoresReading reading;
    std::size_t lineNumber = 0;
    std::string name;
    for (std::size_t at = 0; at < size;) {
        ++lineNumber;
        const void* found = std::memchr(data + at, '\n', size - at);
        if (found == nullptr) {
            // What the game writes ends in a line break: the file was cut here.
            note(reading, lineNumber, "cut short");
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
            note(reading, lineNumber, "line too long");
            continue;
        }
        if (lineNumber == 1) {
            const std::size_t prefix = std::strlen(kBestScoresVersionLine) - 1;  // up to the version number
            if (length == prefix + 1 && std::memcmp(line, kBestScoresVersionLine, length) == 0) {
                continue;
            }
            if (length > prefix && std::memcmp(line, kBestScoresVersionLine, prefix) == 0) {
                // A newer game's file: its lines are not ours to read.
                note(reading, lineNumber, "a newer version");
                reading.scores = BestScores();
                return reading;
            }
            note(reading, lineNumber, "no version line");
        }
        int score = 0;
        if (!parseLine(line, length, name, score)) {
            note(reading, lineNumber, "not a score and a song");
            continue;
        }
        if (reading.scores.find(name) != nullptr) {
            note(reading, lineNumber, "a song listed twice");
        }
        reading.scores.offer(name, score);
    }
    if (lineNumber == 0) {
        note(reading, 1, "empty");
    }
    return reading;
}

std::string serialiseBestScores(const BestScores& scores) {
    std::vector<const std::pair<const std::string, int>*> entries;
    entries.reserve(scores.size());
    for (const auto& entry : scores.table()) {
        entries.push_back(&entry);
    }
    std::sort(entries.begin(), entries.end(), [](const auto* a, const auto* b) { return a->first < b->first; });
    std::string out;
    out.reserve(32 + entries.size() * 48);
    out += kBestScoresVersionLine;
    out += '\n';
    for (const auto* entry : entries) {
        char number[16];
        std::snprintf(number, sizeof number, "%d ", entry->second);
        out += number;
        escapeSongName(entry->first, out);
        out += '\n';
    }
    return out;
}
