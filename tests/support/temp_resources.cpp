#include "tests/support/temp_resources.h"

#include <stdlib.h>

#include <system_error>

namespace testworld {

namespace fs = std::filesystem;

fs::path makeTempFolder(const std::string& tag) {
    std::string pattern = (fs::temp_directory_path() / ("redavave-" + tag + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) {
        return {};
    }
    return pattern;
}

TempResources::TempResources(const std::string& tag, WorldOptions options) {
    path_ = makeTempFolder(tag);
    if (path_.empty()) {
        error_ = "cannot make a scratch folder";
        return;
    }
    std::error_code failed;
    if (options.generatedAssets || options.effects) {
        fs::create_directories(music(), failed);
    }
    if (options.lockFolder) {
        fs::create_directories(lockFolder(), failed);
        fs::permissions(lockFolder(), fs::perms::owner_all, failed);
    }
    if (failed) {
        error_ = "cannot make the folders of " + path_.string() + ": " + failed.message();
        return;
    }
    if (options.generatedAssets) {
        const fs::path generated = fs::path(REDAVAVE_RUN_DIR) / "resources";
        if (!fs::is_directory(generated / "Textures")) {
            error_ = "the generated resources are missing in " + generated.string() + " (build the resources target)";
            return;
        }
        for (const fs::directory_entry& entry : fs::directory_iterator(generated)) {
            if (entry.path().filename() != "Music") {
                fs::create_symlink(entry.path(), resources() / entry.path().filename(), failed);
            }
        }
        if (failed) {
            error_ = "cannot link the generated resources: " + failed.message();
            return;
        }
    }
    if (options.effects && !fs::exists(resources() / "Sounds")) {
        fs::create_directories(resources() / "Sounds");
        for (const char* effect : {"blockHit", "bonusHit", "SkullHit"}) {
            const std::string path = (resources() / "Sounds" / effect).string() + ".mp3";
            std::string why;
            if (!fixtures::writeSong(path, fixtures::AudioFormat::Mp3, fixtures::tone(880.0, 0.1), &why)) {
                error_ = "cannot write " + path + ": " + why;
                return;
            }
        }
    }
    if (options.enter) {
        previous_ = fs::current_path(failed);
        fs::current_path(path_, failed);
        if (failed) {
            previous_.clear();
            error_ = "cannot enter " + path_.string() + ": " + failed.message();
        }
    }
}

TempResources::~TempResources() {
    std::error_code ignored;
    if (!previous_.empty()) {
        fs::current_path(previous_, ignored);
    }
    if (!kept_) {
        removeNow();
    }
}

void TempResources::removeNow() {
    if (!path_.empty()) {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
}

bool TempResources::addSong(const std::string& name, fixtures::AudioFormat format, const fixtures::ToneSong& song) {
    std::string why;
    std::error_code ignored;
    fs::create_directories(music(), ignored);
    if (!fixtures::writeSong((music() / name).string(), format, song, &why)) {
        error_ = "cannot write " + name + ": " + why;
        return false;
    }
    return true;
}

}  // namespace testworld
