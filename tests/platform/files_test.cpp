// Files by UTF-8 name, the folder listing behind the song menu, and the
// instance lock as every operating system has it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/files.h"
#include "platform/instance_lock.h"

namespace fs = std::filesystem;
using ::testing::IsEmpty;

namespace {

// A fresh folder under the system's temporary folder, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = fs::temp_directory_path() / ("redavave-files-" + std::to_string(stamp));
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }
    // `name` is UTF-8.
    fs::path file(const std::string& name) const { return path_ / fs::u8path(name); }
    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(file(name), std::ios::binary) << bytes;
    }
    std::string utf8() const { return path_.u8string(); }

private:
    fs::path path_;
};

// Names in several scripts, with spaces and a character outside the BMP.
const std::string kOddNames[] = {"Ünïcødé — Tëst.mp3", "曲 のテスト.ogg", "Песня №1.flac", "emoji 🎵.wma",
                                 "plain.mp2"};

bool isSong(const char* name) {
    const char* dot = std::strrchr(name, '.');
    return dot != nullptr && std::strcmp(dot, ".txt") != 0;
}

TEST(ListFilesTest, GivesRegularFilesInUtf8AndLeavesOutFoldersAndRefusedNames) {
    TempFolder folder;
    for (const std::string& name : kOddNames) {
        folder.write(name, "x");
    }
    folder.write("notes.txt", "x");
    fs::create_directories(folder.file("a folder.mp3"));

    std::vector<std::string> names = plat::listFiles(folder.utf8().c_str(), isSong);
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected(std::begin(kOddNames), std::end(kOddNames));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}

TEST(ListFilesTest, MissingOrEmptyFolderGivesNothing) {
    TempFolder folder;
    EXPECT_THAT(plat::listFiles(folder.utf8().c_str(), isSong), IsEmpty());
    EXPECT_THAT(plat::listFiles((folder.utf8() + "/missing").c_str(), isSong), IsEmpty());
}

TEST(ListFilesTest, ListedNamesOpenAsTheyAre) {
    TempFolder folder;
    for (const std::string& name : kOddNames) {
        folder.write(name, name);
    }
    for (const std::string& name : plat::listFiles(folder.utf8().c_str(), isSong)) {
        const std::string path = folder.utf8() + "/" + name;
        std::FILE* file = plat::openFile(path.c_str(), "rb");
        ASSERT_NE(file, nullptr) << name;
        char bytes[64] = {};
        const std::size_t got = std::fread(bytes, 1, sizeof bytes, file);
        std::fclose(file);
        EXPECT_EQ(std::string(bytes, got), name);
    }
}

TEST(OpenFileTest, WritesAndAppendsUnderAUtf8NameAndFailsOnAMissingFolder) {
    TempFolder folder;
    const std::string path = folder.utf8() + "/журнал ログ.txt";
    for (const char* line : {"first\n", "second\n"}) {
        std::FILE* file = plat::openFile(path.c_str(), "ab");
        ASSERT_NE(file, nullptr);
        std::fputs(line, file);
        std::fclose(file);
    }
    std::ifstream in(fs::u8path(path), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "first\nsecond\n");

    EXPECT_EQ(plat::openFile((folder.utf8() + "/no such folder/x.txt").c_str(), "rb"), nullptr);
}

#ifdef _WIN32
// On Windows the lock is the named mutex "Rodadi Engine", shared by every
// process of the session; elsewhere it is covered with its lock folder.
TEST(InstanceLockWindowsTest, SecondHolderSeesTheNameTakenUntilTheFirstLetsGo) {
    bool exists = true;
    plat::InstanceLock* first = plat::createInstanceLock("Rodadi Engine", &exists);
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(exists);

    plat::InstanceLock* second = plat::createInstanceLock("Rodadi Engine", &exists);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(exists);
    plat::closeInstanceLock(second);  // owns nothing: the first still holds the name

    plat::InstanceLock* third = plat::createInstanceLock("Rodadi Engine", &exists);
    EXPECT_TRUE(exists);
    plat::closeInstanceLock(third);

    plat::InstanceLock* other = plat::createInstanceLock("Another Name", &exists);
    EXPECT_FALSE(exists);
    plat::closeInstanceLock(other);

    plat::closeInstanceLock(first);
    plat::InstanceLock* again = plat::createInstanceLock("Rodadi Engine", &exists);
    EXPECT_FALSE(exists);
    plat::closeInstanceLock(again);
}
#endif

}  // namespace
