#pragma once

// The OpenGL side of a window: its drawing surface, the pixel format and the
// rendering context. Legacy (compatibility) OpenGL 1.x with GLU.

#include <cstdint>

#include "platform/types.h"

namespace plat {

inline constexpr std::uint32_t PFD_DOUBLEBUFFER = 0x00000001;
inline constexpr std::uint32_t PFD_DRAW_TO_WINDOW = 0x00000004;
inline constexpr std::uint32_t PFD_SUPPORT_OPENGL = 0x00000020;
inline constexpr std::uint8_t PFD_TYPE_RGBA = 0;
inline constexpr std::uint8_t PFD_MAIN_PLANE = 0;

// The parts of a pixel-format description that the game fills or reads.
struct PixelFormatDescriptor {
    std::uint16_t size = 40;
    std::uint16_t version = 1;
    std::uint32_t flags = 0;
    std::uint8_t pixelType = PFD_TYPE_RGBA;
    std::uint8_t colorBits = 0;  // 0: no preference
    std::uint8_t alphaBits = 0;
    std::uint8_t depthBits = 0;  // 0: no preference; a depth buffer is always provided
    std::uint8_t stencilBits = 0;
    std::uint8_t layerType = PFD_MAIN_PLANE;
};

// The window's drawing surface; null when the window is not ours.
DeviceContext getDC(WindowHandle window);
bool releaseDC(WindowHandle window, DeviceContext dc);

// Index (from 1) of the closest format, 0 when none fits the request.
int choosePixelFormat(DeviceContext dc, const PixelFormatDescriptor* request);
bool setPixelFormat(DeviceContext dc, int format, const PixelFormatDescriptor* request);
// Fills `out` with what format `format` really offers; false for an unknown format.
bool describePixelFormat(DeviceContext dc, int format, PixelFormatDescriptor* out);

GlContext createContext(DeviceContext dc);
// Makes `context` current on `dc`; both null releases the current context.
bool makeCurrent(DeviceContext dc, GlContext context);
bool deleteContext(GlContext context);
// Presents the back buffer; false when the surface is gone.
bool swapBuffers(DeviceContext dc);

}  // namespace plat
