// The single-instance lock on Windows: a named mutex. Windows closes the
// handle with the process, so a crashed copy never leaves the name taken.

#include <windows.h>

#include "platform/instance_lock.h"
#include "platform/utf8_win32.h"

namespace plat {

struct InstanceLock {
    HANDLE mutex = nullptr;
};

InstanceLock* createInstanceLock(const char* name, bool* alreadyExists) {
    if (alreadyExists != nullptr) {
        *alreadyExists = false;
    }
    if (name == nullptr || name[0] == '\0') {
        return nullptr;
    }
    const std::wstring wideName = wideFromUtf8(name);
    if (wideName.empty()) {
        return nullptr;
    }
    HANDLE mutex = CreateMutexW(nullptr, FALSE, wideName.c_str());
    if (mutex == nullptr) {
        // Another kind of object holds the name: the name is taken all the same.
        if (GetLastError() == ERROR_INVALID_HANDLE && alreadyExists != nullptr) {
            *alreadyExists = true;
            return new InstanceLock;
        }
        return nullptr;
    }
    auto* lock = new InstanceLock;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        if (alreadyExists != nullptr) {
            *alreadyExists = true;
        }
        return lock;  // owns nothing
    }
    lock->mutex = mutex;
    return lock;
}

void closeInstanceLock(InstanceLock* lock) {
    if (lock == nullptr) {
        return;
    }
    if (lock->mutex != nullptr) {
        CloseHandle(lock->mutex);
    }
    delete lock;
}

}  // namespace plat
