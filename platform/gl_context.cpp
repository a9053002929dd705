// Pixel formats and OpenGL contexts on SDL. A window's surface is created with
// its attributes already fixed (SDL needs them before the window exists), so
// there is one format per window: format 1, as good as what the surface has.

#include "platform/gl_context.h"

#include "platform/window_internal.h"

namespace plat {

struct GlContextRecord {
    SDL_GLContext context = nullptr;
};

namespace {

constexpr int kOnlyFormat = 1;

bool requestFits(const WindowRecord& window, const PixelFormatDescriptor& request) {
    const std::uint32_t needed = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    return (request.flags & needed) == needed && request.pixelType == PFD_TYPE_RGBA &&
           request.layerType == PFD_MAIN_PLANE && request.colorBits <= 32 && request.depthBits <= window.depthBits &&
           request.stencilBits == 0;
}

int attribute(SDL_GLattr attr) {
    int value = 0;
    return SDL_GL_GetAttribute(attr, &value) == 0 ? value : 0;
}

}  // namespace

DeviceContext getDC(WindowHandle handle) {
    WindowRecord* window = detail::liveWindow(handle);
    return window != nullptr ? &window->dc : nullptr;
}

bool releaseDC(WindowHandle handle, DeviceContext dc) {
    WindowRecord* window = detail::liveWindow(handle);
    return window != nullptr && &window->dc == dc;
}

int choosePixelFormat(DeviceContext dc, const PixelFormatDescriptor* request) {
    WindowRecord* window = detail::liveWindowOfDC(dc);
    if (window == nullptr || request == nullptr || !requestFits(*window, *request)) {
        return 0;
    }
    return kOnlyFormat;
}

bool setPixelFormat(DeviceContext dc, int format, const PixelFormatDescriptor* request) {
    WindowRecord* window = detail::liveWindowOfDC(dc);
    if (window == nullptr || format != kOnlyFormat || (request != nullptr && !requestFits(*window, *request))) {
        return false;
    }
    dc->pixelFormat = format;
    return true;
}

bool describePixelFormat(DeviceContext dc, int format, PixelFormatDescriptor* out) {
    WindowRecord* window = detail::liveWindowOfDC(dc);
    if (window == nullptr || format != kOnlyFormat || out == nullptr) {
        return false;
    }
    PixelFormatDescriptor described;
    described.flags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    if (SDL_GL_GetCurrentWindow() == window->sdl && SDL_GL_GetCurrentContext() != nullptr) {
        // What the driver really gave us.
        const int color = attribute(SDL_GL_RED_SIZE) + attribute(SDL_GL_GREEN_SIZE) + attribute(SDL_GL_BLUE_SIZE);
        described.colorBits = static_cast<std::uint8_t>(color);
        described.alphaBits = static_cast<std::uint8_t>(attribute(SDL_GL_ALPHA_SIZE));
        described.depthBits = static_cast<std::uint8_t>(attribute(SDL_GL_DEPTH_SIZE));
        described.stencilBits = static_cast<std::uint8_t>(attribute(SDL_GL_STENCIL_SIZE));
        if (attribute(SDL_GL_DOUBLEBUFFER) == 0) {
            described.flags &= ~PFD_DOUBLEBUFFER;
        }
    } else {
        described.colorBits = static_cast<std::uint8_t>(window->colorBits);
        described.depthBits = static_cast<std::uint8_t>(window->depthBits);
    }
    *out = described;
    return true;
}

GlContext createContext(DeviceContext dc) {
    WindowRecord* window = detail::liveWindowOfDC(dc);
    if (window == nullptr || dc->pixelFormat == 0) {
        return nullptr;  // as on the desktop: no context before the surface has a format
    }
    SDL_GLContext context = SDL_GL_CreateContext(window->sdl);
    if (context == nullptr) {
        return nullptr;
    }
    auto* record = new GlContextRecord;
    record->context = context;
    return record;
}

bool makeCurrent(DeviceContext dc, GlContext context) {
    if (dc == nullptr && context == nullptr) {
        return SDL_WasInit(SDL_INIT_VIDEO) == 0 || SDL_GL_MakeCurrent(SDL_GL_GetCurrentWindow(), nullptr) == 0;
    }
    WindowRecord* window = detail::liveWindowOfDC(dc);
    if (window == nullptr || context == nullptr) {
        return false;
    }
    return SDL_GL_MakeCurrent(window->sdl, context->context) == 0;
}

bool deleteContext(GlContext context) {
    if (context == nullptr) {
        return false;
    }
    SDL_GL_DeleteContext(context->context);
    delete context;
    return true;
}

bool swapBuffers(DeviceContext dc) {
    WindowRecord* window = detail::liveWindowOfDC(dc);
    if (window == nullptr) {
        return false;
    }
    SDL_GL_SwapWindow(window->sdl);
    return true;
}

}  // namespace plat
