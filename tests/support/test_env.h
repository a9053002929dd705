#pragma once

// Environment variables for tests, the same on every system: set, unset, and
// a guard that puts a variable back as it was.

#include <cstdlib>
#include <optional>
#include <string>

namespace testenv {

inline void set(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value);
#else
    setenv(name, value, 1);
#endif
}

inline void unset(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");  // an empty value removes the variable
#else
    unsetenv(name);
#endif
}

inline std::optional<std::string> get(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

// Sets (or, with a null value, unsets) a variable until the guard goes away;
// with no value it only puts the variable back afterwards.
class Scoped {
public:
    explicit Scoped(const char* name) : name_(name), old_(get(name)) {}
    Scoped(const char* name, const char* value) : name_(name), old_(get(name)) {
        if (value != nullptr) {
            set(name, value);
        } else {
            unset(name);
        }
    }
    ~Scoped() {
        if (old_) {
            set(name_.c_str(), old_->c_str());
        } else {
            unset(name_.c_str());
        }
    }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

}  // namespace testenv
