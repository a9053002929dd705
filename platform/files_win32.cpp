// Files and folders on Windows: UTF-8 names in, the wide-character API below.

#include <windows.h>

#include "platform/files.h"
#include "platform/utf8_win32.h"

namespace plat {

std::FILE* openFile(const char* path, const char* mode) {
    const std::wstring widePath = wideFromUtf8(path);
    const std::wstring wideMode = wideFromUtf8(mode);
    if (widePath.empty() && path[0] != '\0') {
        return nullptr;  // not valid UTF-8
    }
    return _wfopen(widePath.c_str(), wideMode.c_str());
}

std::vector<std::string> listFiles(const char* folder, bool (*accept)(const char* name)) {
    std::vector<std::string> names;
    const std::wstring pattern = wideFromUtf8(folder) + L"\\*";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            continue;
        }
        const std::string name = utf8FromWide(found.cFileName);
        if (name.empty() || !accept(name.c_str())) {
            continue;
        }
        // A link is listed with the link's attributes: a song only when it
        // leads to a file that is there.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            const std::wstring full = wideFromUtf8(folder) + L"\\" + found.cFileName;
            const DWORD target = GetFileAttributesW(full.c_str());
            if (target == INVALID_FILE_ATTRIBUTES || (target & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                continue;
            }
        }
        names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

}  // namespace plat
