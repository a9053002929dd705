#pragma once

// UTF-8 and Windows' UTF-16 names, both ways. Empty on invalid input.

#include <windows.h>

#include <string>

namespace plat {

inline std::wstring wideFromUtf8(const char* text) {
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (length <= 1) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length) - 1);
    return wide;
}

namespace detail {
inline std::string utf8FromWide(const wchar_t* text, DWORD flags) {
    const int length = WideCharToMultiByte(CP_UTF8, flags, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) {
        return {};
    }
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, flags, text, -1, narrow.data(), length, nullptr, nullptr);
    narrow.resize(static_cast<std::size_t>(length) - 1);
    return narrow;
}
}  // namespace detail

inline std::string utf8FromWide(const wchar_t* text) { return detail::utf8FromWide(text, WC_ERR_INVALID_CHARS); }

// For showing a name only: what is not valid UTF-16 (a lone surrogate) becomes U+FFFD.
inline std::string utf8FromWideReplacing(const wchar_t* text) { return detail::utf8FromWide(text, 0); }

}  // namespace plat
