// Durable replacement of a file on Windows: a fresh temporary file beside it,
// flushed, then moved over the old one with a write-through move.

#include <windows.h>

#include <string>

#include "platform/durable_file.h"
#include "platform/utf8_win32.h"

namespace plat {

namespace {

std::string describe(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": error " + std::to_string(GetLastError());
}

}  // namespace

bool replaceFile(const char* path, const void* data, std::size_t size, std::string* error, ReplaceHook hook) {
    const std::wstring target = wideFromUtf8(path);
    std::string failure;
    std::string temp;
    std::wstring wideTemp;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
        temp = std::string(path) + ".new-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
        wideTemp = wideFromUtf8(temp.c_str());
        file = CreateFileW(wideTemp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        failure = describe("cannot create", temp);
    } else {
        const char* bytes = static_cast<const char*>(data);
        std::size_t left = size;
        while (failure.empty() && left > 0) {
            const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
            DWORD written = 0;
            if (!WriteFile(file, bytes, chunk, &written, nullptr) || written == 0) {
                failure = describe("cannot write", temp);
            }
            bytes += written;
            left -= written;
        }
        if (failure.empty() && !FlushFileBuffers(file)) {
            failure = describe("cannot write", temp);
        }
        CloseHandle(file);
        if (failure.empty() && hook != nullptr && !hook(ReplaceStep::tempWritten)) {
            failure = "stopped after writing " + temp;
        }
        if (failure.empty() &&
            !MoveFileExW(wideTemp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            failure = describe("cannot rename over", path);
        }
        if (!failure.empty()) {
            DeleteFileW(wideTemp.c_str());
        } else if (hook != nullptr && !hook(ReplaceStep::renamed)) {
            failure = std::string("stopped after renaming over ") + path;
        }
    }
    if (!failure.empty() && error != nullptr) {
        *error = failure;
    }
    return failure.empty();
}

bool removeFile(const char* path) { return DeleteFileW(wideFromUtf8(path).c_str()) != 0; }

bool readWholeFile(const char* path, std::string& content, bool* missing, std::string* error) {
    content.clear();
    if (missing != nullptr) {
        *missing = false;
    }
    HANDLE file = CreateFileW(wideFromUtf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (missing != nullptr) {
            *missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
        }
        if (error != nullptr) {
            *error = describe("cannot open", path);
        }
        return false;
    }
    char buffer[1 << 16];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            if (error != nullptr) {
                *error = describe("cannot read", path);
            }
            CloseHandle(file);
            return false;
        }
        if (got == 0) {
            break;
        }
        content.append(buffer, got);
    }
    CloseHandle(file);
    return true;
}

bool setAside(const char* path, std::string* newName, std::string* error) {
    const std::wstring from = wideFromUtf8(path);
    for (int n = 1; n < 10000; ++n) {
        const std::string aside = std::string(path) + ".damaged-" + std::to_string(n);
        // Without MOVEFILE_REPLACE_EXISTING an existing name is never taken.
        if (MoveFileExW(from.c_str(), wideFromUtf8(aside.c_str()).c_str(), MOVEFILE_WRITE_THROUGH)) {
            if (newName != nullptr) {
                *newName = aside;
            }
            return true;
        }
        const DWORD code = GetLastError();
        if (code != ERROR_ALREADY_EXISTS && code != ERROR_FILE_EXISTS) {
            break;
        }
    }
    if (error != nullptr) {
        *error = describe("cannot rename", path);
    }
    return false;
}

}  // namespace plat
