// The Windows game works from its executable's folder, whatever folder it
// was started from: its resources are found and its log written there.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/home_folder.h"
#include "tests/diag/working_folder.h"

namespace {

namespace fs = std::filesystem;

TEST(GameFolderTest, StartedElsewhereItWorksFromItsExecutablesFolder) {
    const fs::path programFolder = REDAVAVE_TEST_PROGRAM_DIR;
    WorkingFolder elsewhere;
    ASSERT_TRUE(fs::equivalent(fs::current_path(), elsewhere.path()));

    const plat::GameFolderSetup setup = plat::enterGameFolder();
    EXPECT_TRUE(fs::equivalent(fs::current_path(), programFolder)) << fs::current_path();
    EXPECT_FALSE(setup.installed);
    EXPECT_TRUE(setup.notes.empty());
}

}  // namespace
