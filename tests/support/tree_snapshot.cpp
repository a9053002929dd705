#include "tests/support/tree_snapshot.h"

#include <fstream>
#include <iterator>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace testworld {

namespace {

std::string describe(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (fs::is_symlink(status)) {
        return "link -> " + fs::read_symlink(path, error).u8string();
    }
    if (fs::is_directory(status)) {
        return "folder";
    }
    std::ifstream in(path, std::ios::binary);
    return "file " + std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void walk(const fs::path& root, const fs::path& folder, TreeSnapshot& tree) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string below = it->path().lexically_relative(root).generic_u8string();
        tree[below] = describe(it->path());
        if (tree[below] == "folder") {
            walk(root, it->path(), tree);
        }
    }
    if (error) {
        tree[folder.lexically_relative(root).generic_u8string()] = "unreadable folder";
    }
}

}  // namespace

TreeSnapshot snapshotTree(const fs::path& root) {
    TreeSnapshot tree;
    tree["."] = describe(root);
    if (tree["."] == "folder") {
        walk(root, root, tree);
    }
    return tree;
}

#ifdef _WIN32
AsPlayer::AsPlayer() = default;
AsPlayer::~AsPlayer() = default;
void AsPlayer::letEveryoneIn(const fs::path&) {}
#else
AsPlayer::AsPlayer() {
    if (geteuid() == 0) {
        constexpr unsigned kNobody = 65534;
        switched_ = setegid(kNobody) == 0 && seteuid(kNobody) == 0;
    }
}

AsPlayer::~AsPlayer() {
    if (switched_) {
        (void)!seteuid(0);
        (void)!setegid(0);
    }
}

void AsPlayer::letEveryoneIn(const fs::path& folder) {
    std::error_code ignored;
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec,
                    ignored);
}
#endif

}  // namespace testworld
