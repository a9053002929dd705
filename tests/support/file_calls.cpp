#include "tests/support/file_calls.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>

namespace filecalls {

namespace {

std::atomic<bool> recording{false};
std::mutex guard;
std::vector<Call> noted;  // guarded
std::string watched;          // guarded
std::string failName, failPart;  // guarded
int failCode = 0;             // guarded

template <typename Function>
Function real(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

std::string pathOf(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[PATH_MAX];
    const ssize_t length = readlink(link, path, sizeof path);
    return length < 0 ? std::string() : std::string(path, static_cast<std::size_t>(length));
}

// The error the call is to fail with, or 0 for none.
int failureFor(const char* name, const std::string& path) {
    std::lock_guard<std::mutex> lock(guard);
    return failCode != 0 && failName == name && path.find(failPart) != std::string::npos ? failCode : 0;
}

void noteDone(const char* name, std::string path, const char* to) {
    std::lock_guard<std::mutex> lock(guard);
    struct stat status {};
    const bool there = !watched.empty() && stat(watched.c_str(), &status) == 0;
    noted.push_back({name, std::move(path), to, there});
}

}  // namespace

Recording::Recording(std::string file) {
    std::lock_guard<std::mutex> lock(guard);
    noted.clear();
    watched = std::move(file);
    failCode = 0;
    recording = true;
}

Recording::~Recording() {
    recording = false;
    std::lock_guard<std::mutex> lock(guard);
    failCode = 0;
}

std::vector<Call> Recording::calls() const {
    std::lock_guard<std::mutex> lock(guard);
    return noted;
}

void Recording::fail(const char* name, const std::string& part, int code) {
    std::lock_guard<std::mutex> lock(guard);
    failName = name;
    failPart = part;
    failCode = code;
}

// Makes the call, or fails it as asked, and notes it.
template <typename Result, typename Call>
Result pass(const char* name, const std::string& path, const char* to, Call call) {
    if (!recording) {
        return call();
    }
    int code = failureFor(name, path);
    Result result = static_cast<Result>(-1);
    if (code == 0) {
        result = call();
        code = errno;
    }
    noteDone(name, path, to);
    errno = code;
    return result;
}

}  // namespace filecalls

extern "C" {

ssize_t write(int fd, const void* data, size_t size) {
    static const auto next = filecalls::real<ssize_t (*)(int, const void*, size_t)>("write");
    if (!filecalls::recording) {
        return next(fd, data, size);
    }
    return filecalls::pass<ssize_t>("write", filecalls::pathOf(fd), "", [&] { return next(fd, data, size); });
}

int fsync(int fd) {
    static const auto next = filecalls::real<int (*)(int)>("fsync");
    if (!filecalls::recording) {
        return next(fd);
    }
    return filecalls::pass<int>("fsync", filecalls::pathOf(fd), "", [&] { return next(fd); });
}

int rename(const char* from, const char* to) noexcept {
    static const auto next = filecalls::real<int (*)(const char*, const char*)>("rename");
    return filecalls::pass<int>("rename", from, to, [&] { return next(from, to); });
}

int link(const char* from, const char* to) noexcept {
    static const auto next = filecalls::real<int (*)(const char*, const char*)>("link");
    return filecalls::pass<int>("link", from, to, [&] { return next(from, to); });
}

int unlink(const char* path) noexcept {
    static const auto next = filecalls::real<int (*)(const char*)>("unlink");
    return filecalls::pass<int>("unlink", path, "", [&] { return next(path); });
}

}  // extern "C"
