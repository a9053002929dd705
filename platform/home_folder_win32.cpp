// On Windows the game is a folder unzipped anywhere: it works from its
// executable's folder, finds its resources there and writes its log beside
// itself, whatever folder it was started from.

#include <windows.h>

#include <string>

#include "platform/home_folder.h"

namespace plat {

GameFolderSetup enterGameFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos) {
        path.resize(slash);
        SetCurrentDirectoryW(path.c_str());
    }
    return {};
}

}  // namespace plat
