#pragma once

// What a player's folder holds, to check that the game left it as it was:
// every entry below a folder, links not followed, with its kind and content
// ("folder", "file <bytes>", "link -> <target>").
//
//   const auto before = testworld::snapshotTree(music);
//   ... run the game ...
//   EXPECT_EQ(testworld::snapshotTree(music), before);

#include <filesystem>
#include <map>
#include <string>

namespace testworld {

using TreeSnapshot = std::map<std::string, std::string>;

// Keyed by the path below `root` ('/'-separated); a folder that cannot be read
// is listed as "unreadable folder". The root itself is listed as "." (a link
// as the root is recorded and not followed either).
TreeSnapshot snapshotTree(const std::filesystem::path& root);

// The rights of the player while it lives: a test run as root takes the
// effective user and group "nobody", so that folders without read or write
// rights behave as they do for a player. Does nothing for other users.
class AsPlayer {
public:
    AsPlayer();
    ~AsPlayer();
    AsPlayer(const AsPlayer&) = delete;
    AsPlayer& operator=(const AsPlayer&) = delete;

    // Folders the player must reach (the test's temporary folder is its owner's only).
    static void letEveryoneIn(const std::filesystem::path& folder);

private:
    bool switched_ = false;
};

}  // namespace testworld
