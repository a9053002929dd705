#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "diag/ErrorHandler.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "tests/diag/working_folder.h"
#include "tests/support/regex_match.h"

using ::testing::ElementsAre;
using testsupport::matchesRegex;

namespace {

struct RecordedBox {
    std::string text;
    std::string title;
    std::uint32_t flags;
};
std::vector<RecordedBox> boxes;

int recordBox(const char* text, const char* title, std::uint32_t flags) {
    boxes.push_back({text, title, flags});
    return plat::IDOK;
}

// For the death tests: the child reports its box on stderr before it exits.
int printBox(const char* text, const char* title, std::uint32_t flags) {
    (void)text;
    std::fprintf(stderr, "box shown: %s (flags %u)\n", title, static_cast<unsigned>(flags));
    return plat::IDOK;
}

const char* const kTail =
    "\n\n Error As Fallows:\n%s\n\nWarning: Game may close, crash or have game play malfunctions after you click 'OK'.";

std::string errorText(const std::string& head, const std::string& message) {
    char tail[512];
    std::snprintf(tail, sizeof tail, kTail, message.c_str());
    return head + tail;
}

class ErrorHandlerTest : public ::testing::Test {
protected:
    void SetUp() override {
        boxes.clear();
        plat::setMessageBoxBackend(recordBox);
    }
    void TearDown() override { plat::setMessageBoxBackend(nullptr); }

    WorkingFolder folder;
    // Zeroed storage, like the global and the member of the sound object.
    alignas(ErrorHandler) unsigned char storage[sizeof(ErrorHandler)] = {};
    ErrorHandler& handler = *new (storage) ErrorHandler();
};

TEST_F(ErrorHandlerTest, StartsEmptyWithKindZeroAndLoggingOff) {
    EXPECT_STREQ(handler.message, "");
    EXPECT_STREQ(handler.fileName, "");
    EXPECT_EQ(handler.kind, 0);
    EXPECT_FALSE(handler.logEnabled);
}

TEST_F(ErrorHandlerTest, OpenStartsTheRunAfterEarlierLinesAndNeverTruncates) {
    folder.write("log.txt", "line of an earlier run\n");
    handler.log("#In Developer Mode");
    handler.log("#Window Mode!");
    handler.open("log.txt", true);
    handler.log("count %d", 3);

    const auto lines = folder.lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "line of an earlier run");
    EXPECT_EQ(lines[1], "#In Developer Mode");
    EXPECT_EQ(lines[2], "#Window Mode!");
    EXPECT_EQ(lines[3], "No Error");
    EXPECT_THAT(lines[4], matchesRegex("#Game Started: [01][0-9]/[0-3][0-9]/[0-9][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]"));
    EXPECT_EQ(lines[5], "count 3");
    EXPECT_STREQ(handler.fileName, "log.txt");
    EXPECT_EQ(handler.kind, 0);
}

TEST_F(ErrorHandlerTest, SetErrorLogsOnlyWhileLoggingIsOnButAlwaysShows) {
    handler.setError(ERROR_KIND_GAME, "quiet %s", "failure");
    EXPECT_TRUE(folder.lines().empty());
    handler.show();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Game Error");
    EXPECT_EQ(boxes[0].text, errorText("There was a problem with The Dovazud Engine!", "quiet failure"));

    handler.open("log.txt", true);
    handler.setError(ERROR_KIND_WINDOW, "loud");
    EXPECT_EQ(folder.lines().back(), "loud");
    EXPECT_EQ(handler.kind, ERROR_KIND_WINDOW);
}

TEST_F(ErrorHandlerTest, BoxTitleAndTextFollowTheKind) {
    struct Case {
        int kind;
        const char* head;
        const char* title;
    };
    const Case cases[] = {
        {1, "There was a problem!", "Unkown Error"},
        {2, "There was a problem!", "Error"},
        {3, "There was a problem with memory!", "Memory Error"},
        {4, "There was a problem!", "Window Error"},
        {5, "There was a problem with DirectX!", "DirectX Error"},
        {6, "There was a problem with OpenGL!", "OpenGL Error"},
        {8, "There was a problem with The Dovazud Engine!", "Game Error"},
        {9, "There was a problem!", "Unkown Error"},
        {-1, "There was a problem!", "Unkown Error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        boxes.clear();
        handler.setError(c.kind, "Something broke");
        handler.show();  // returns for every kind but 0 and 7
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].title, c.title);
        EXPECT_EQ(boxes[0].text, errorText(c.head, "Something broke"));
        EXPECT_EQ(boxes[0].flags, plat::MB_OK | plat::MB_ICONERROR);
    }
}

TEST_F(ErrorHandlerTest, KindZeroBoxIsTheInformationNotice) {
    handler.setError(ERROR_KIND_MESSAGE, "All fine");
    char text[1024];
    handler.formatBox(text, sizeof text);
    EXPECT_STREQ(text,
                 "Warning/Message Notification:\n\n Message As Fallows:\n All fine\n\nWarning: Game may close, crash "
                 "or have game play malfunctions after you click 'OK'.");
    EXPECT_STREQ(handler.boxTitle(), "All Ok!");
}

TEST_F(ErrorHandlerTest, PercentSignsInTheMessageShowLiterally) {
    handler.setError(ERROR_KIND_GAME, "%s", "100% of %d %s %n");
    handler.show();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, errorText("There was a problem with The Dovazud Engine!", "100% of %d %s %n"));
}

TEST_F(ErrorHandlerTest, LongTextsAreCutAt1023Characters) {
    const std::string longText(3000, 'x');
    handler.setError(ERROR_KIND_WINDOW, "%s", longText.c_str());
    EXPECT_EQ(std::strlen(handler.message), 1023u);
    handler.show();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.size(), 1023u);
    EXPECT_EQ(boxes[0].text.rfind("There was a problem!", 0), 0u);

    handler.open("log.txt", true);
    handler.log("%s", longText.c_str());
    EXPECT_EQ(folder.lines().back(), std::string(1023, 'x'));
}

TEST_F(ErrorHandlerTest, StoredMessageCanBeFormattedFromItself) {
    handler.setError(ERROR_KIND_WINDOW, "first %d", 1);
    handler.setError(ERROR_KIND_WINDOW, "again: %s", handler.message);
    EXPECT_STREQ(handler.message, "again: first 1");
}

TEST_F(ErrorHandlerTest, ShowingAgainShowsTheSameBoxAndShowsTheCursor) {
    handler.setError(ERROR_KIND_OPENGL, "no context");
    const int hidden = plat::showCursor(false);
    handler.show();
    handler.show();
    EXPECT_EQ(plat::showCursor(false), hidden + 1);  // two increments, one decrement
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, boxes[1].text);
    EXPECT_EQ(boxes[1].title, "OpenGL Error");
}

TEST_F(ErrorHandlerTest, UnwritableLogDropsLinesAndGoesOn) {
    std::filesystem::create_directory(folder.path() / "log.txt");  // cannot be opened as a file, even by root
    handler.open("log.txt", true);
    handler.log("dropped %d", 1);
    handler.setError(ERROR_KIND_WINDOW, "still stored");
    EXPECT_STREQ(handler.message, "still stored");
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "log.txt"));
}

using ErrorHandlerDeathTest = ErrorHandlerTest;

void atExitMarker() { std::fprintf(stderr, "normal exit ran\n"); }

TEST_F(ErrorHandlerDeathTest, KindsZeroAndSevenEndTheProcessWithCodeOneThroughTheNormalExit) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (int kind : {ERROR_KIND_MESSAGE, ERROR_KIND_SOUND}) {
        SCOPED_TRACE(kind);
        EXPECT_EXIT(
            {
                plat::setMessageBoxBackend(printBox);
                std::atexit(atExitMarker);
                handler.setError(kind, "fatal");
                handler.show();
                std::fprintf(stderr, "show returned\n");
            },
            ::testing::ExitedWithCode(1),
            testsupport::containsRegex(kind == ERROR_KIND_SOUND ? "box shown: FMod Error.*normal exit ran"
                                                                : "box shown: All Ok!.*normal exit ran"));
    }
}

}  // namespace
