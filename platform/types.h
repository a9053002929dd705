#pragma once

// Handles and records shared by the platform services. The game only passes
// these around; what stands behind a handle is the platform layer's business.

#include <cstdint>

namespace plat {

struct WindowRecord;
struct DeviceContextRecord;
struct GlContextRecord;

using WindowHandle = WindowRecord*;         // a top-level window
using DeviceContext = DeviceContextRecord*; // the drawing surface of a window
using GlContext = GlContextRecord*;         // an OpenGL rendering context
using ModuleHandle = void*;                 // the running program

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

struct Message {
    WindowHandle window = nullptr;
    std::uint32_t message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

}  // namespace plat
