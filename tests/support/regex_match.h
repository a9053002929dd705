#pragma once

// Regular-expression matchers that read patterns the same way on every
// system: POSIX extended syntax, where `.` matches a line break too. The
// GoogleTest of a Windows build knows only a small subset of its own (no
// brackets, no `.` across lines). Usable in EXPECT_THAT and as the message
// matcher of EXPECT_EXIT / EXPECT_DEATH.

#include <gmock/gmock.h>

#include <regex>
#include <string>

namespace testsupport {

namespace regex_detail {

MATCHER_P2(PosixRegex, pattern, whole,
           std::string(negation ? (whole ? "doesn't match" : "doesn't contain") : (whole ? "matches" : "contains")) +
               " regular expression \"" + pattern + "\"") {
    const std::regex expression(pattern, std::regex::extended);
    const std::string text(arg);
    return whole ? std::regex_match(text, expression) : std::regex_search(text, expression);
}

}  // namespace regex_detail

// The whole text matches `pattern`.
inline ::testing::Matcher<const std::string&> matchesRegex(const std::string& pattern) {
    return regex_detail::PosixRegex(pattern, true);
}

// Some part of the text matches `pattern`.
inline ::testing::Matcher<const std::string&> containsRegex(const std::string& pattern) {
    return regex_detail::PosixRegex(pattern, false);
}

}  // namespace testsupport
