// Durable replacement of a file on Windows: a fresh temporary file beside it,
// flushed, then moved over the old one with a write-through move. Files are
// held by share modes and locks that a network share's server keeps for all.

#include <windows.h>

#include <aclapi.h>
#include <winioctl.h>

#include <string>
#include <vector>

#include "platform/durable_file.h"
#include "platform/utf8_win32.h"

namespace plat {

namespace {

std::string describe(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": error " + std::to_string(GetLastError());
}

std::string folderPrefix(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// What a symbolic link says it leads to, as it stands; empty when it cannot be read.
std::string linkText(const std::wstring& link) {
    HANDLE file = CreateFileW(link.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    // The symbolic link's reparse data (the driver kit's REPARSE_DATA_BUFFER).
    struct SymbolicLink {
        DWORD tag;
        WORD dataLength, reserved;
        WORD substituteOffset, substituteLength, printOffset, printLength;
        DWORD flags;
        WCHAR names[1];
    };
    std::vector<char> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD got = 0;
    const bool read = DeviceIoControl(file, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                                      static_cast<DWORD>(buffer.size()), &got, nullptr) != 0;
    CloseHandle(file);
    const auto* data = reinterpret_cast<const SymbolicLink*>(buffer.data());
    if (!read || got < sizeof(SymbolicLink) || data->tag != IO_REPARSE_TAG_SYMLINK) {
        return {};
    }
    const std::wstring name(data->names + data->printOffset / sizeof(WCHAR), data->printLength / sizeof(WCHAR));
    return utf8FromWide(name.c_str());
}

// A file the player cut off from its folder's permissions (made private, say)
// keeps its own on the file that replaces it; any other takes the folder's.
void keepOwnPermissions(const std::wstring& old, HANDLE replacement) {
    PACL permissions = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(old.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &permissions,
                              nullptr, &descriptor) != ERROR_SUCCESS) {
        return;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (GetSecurityDescriptorControl(descriptor, &control, &revision) && (control & SE_DACL_PROTECTED) != 0) {
        SetSecurityInfo(replacement, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                        nullptr, nullptr, permissions, nullptr);
    }
    LocalFree(descriptor);
}

}  // namespace

bool findTarget(const char* path, FileTarget& target, std::string* error) {
    target.path = path;
    target.dangling = false;
    const std::wstring wide = wideFromUtf8(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return true;
    }
    // A symbolic link: the system follows it, and any links after it, to the end.
    HANDLE file = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) {
            if (error != nullptr) {
                *error = describe("cannot follow the link", path);
            }
            return false;
        }
        target.dangling = true;
        const std::string leads = linkText(wide);
        const bool absolute = leads.size() > 1 && (leads[1] == ':' || leads[0] == '\\' || leads[0] == '/');
        target.path = leads.empty() ? "a missing file" : absolute ? leads : folderPrefix(path) + leads;
        return true;
    }
    std::vector<wchar_t> name(32768);
    const DWORD length = GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(file);
    if (length == 0 || length >= name.size()) {
        if (error != nullptr) {
            *error = describe("cannot follow the link", path);
        }
        return false;
    }
    std::wstring final(name.data(), length);
    if (final.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        final = L"\\\\" + final.substr(8);
    } else if (final.compare(0, 4, L"\\\\?\\") == 0) {
        final = final.substr(4);
    }
    target.path = utf8FromWide(final.c_str());
    return true;
}

bool replaceFile(const char* givenPath, const void* data, std::size_t size, std::string* error, ReplaceHook hook) {
    FileTarget found;
    if (!findTargetToWrite(givenPath, found, error)) {
        return false;
    }
    std::string failure;
    const char* path = found.path.c_str();
    const std::wstring target = wideFromUtf8(path);
    std::string temp;
    std::wstring wideTemp;
    // Shared for nothing but the move: no other copy of the game can open,
    // and so take for a leftover, the file this writer holds.
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
        temp = std::string(path) + ".new-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
        wideTemp = wideFromUtf8(temp.c_str());
        file = CreateFileW(wideTemp.c_str(), GENERIC_WRITE | DELETE | WRITE_DAC, FILE_SHARE_DELETE, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        failure = describe("cannot create", temp);
    } else {
        keepOwnPermissions(target, file);
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
        if (failure.empty() && hook != nullptr && !hook(ReplaceStep::tempWritten)) {
            failure = "stopped after writing " + temp;
        }
        if (failure.empty() &&
            !MoveFileExW(wideTemp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            failure = describe("cannot rename over", path);
        }
        if (!failure.empty()) {
            DeleteFileW(wideTemp.c_str());  // marked, gone with the handle
        }
        CloseHandle(file);
        if (failure.empty() && hook != nullptr && !hook(ReplaceStep::renamed)) {
            failure = std::string("stopped after renaming over ") + path;
        }
    }
    if (!failure.empty() && error != nullptr) {
        *error = failure;
    }
    return failure.empty();
}

Removal removeUnheldTemporary(const char* path) {
    // Opened for nobody else, it cannot be opened while its writer holds it.
    HANDLE file = CreateFileW(wideFromUtf8(path).c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_SHARING_VIOLATION ? Removal::held : Removal::failed;
    }
    CloseHandle(file);
    return Removal::removed;
}

bool removeFile(const char* path) { return DeleteFileW(wideFromUtf8(path).c_str()) != 0; }

bool readWholeFile(const char* path, std::string& content, bool* missing, std::string* error) {
    content.clear();
    if (missing != nullptr) {
        *missing = false;
    }
    // Shared for writing and deleting too, so another copy's move over it goes on.
    HANDLE file = CreateFileW(wideFromUtf8(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
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

bool keepCopy(const char* path, std::string* newName, std::string* error) {
    const std::wstring from = wideFromUtf8(path);
    for (int n = 1; n < 10000; ++n) {
        const std::string aside = std::string(path) + ".damaged-" + std::to_string(n);
        const std::wstring wideAside = wideFromUtf8(aside.c_str());
        // A second name for the same file where the file system has them (NTFS), else a copy.
        bool kept = CreateHardLinkW(wideAside.c_str(), from.c_str(), nullptr) != 0;
        if (!kept && GetLastError() != ERROR_ALREADY_EXISTS) {
            kept = CopyFileW(from.c_str(), wideAside.c_str(), TRUE) != 0;
            if (kept) {
                HANDLE copy = CreateFileW(wideAside.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
                if (copy != INVALID_HANDLE_VALUE) {
                    FlushFileBuffers(copy);
                    CloseHandle(copy);
                }
            }
        }
        if (kept) {
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
        *error = describe("cannot keep a copy of", path);
    }
    return false;
}

std::intptr_t FileLock::openLockFile(const char* path, std::string* error) {
    HANDLE file = CreateFileW(wideFromUtf8(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && error != nullptr) {
        *error = describe("cannot create", path);
    }
    return reinterpret_cast<std::intptr_t>(file);  // INVALID_HANDLE_VALUE is -1
}

FileLock::Try FileLock::tryOnce(std::intptr_t file, const char* path, std::string* error) {
    OVERLAPPED whole{};
    if (LockFileEx(reinterpret_cast<HANDLE>(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                   MAXDWORD, &whole)) {
        return Try::taken;
    }
    if (GetLastError() == ERROR_LOCK_VIOLATION) {
        return Try::held;
    }
    if (error != nullptr) {
        *error = describe("cannot lock", path);
    }
    return Try::failed;
}

void FileLock::closeLockFile(std::intptr_t file) { CloseHandle(reinterpret_cast<HANDLE>(file)); }

}  // namespace plat
