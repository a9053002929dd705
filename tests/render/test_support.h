#pragma once

// Helpers for the image and render tests: a recorder for message boxes, a
// scratch folder that becomes the working folder (so log.txt lands there), a
// window with an OpenGL context, and OpenGL feedback capture.

#include <GL/gl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/types.h"
#include "tests/support/temp_resources.h"

namespace testsupport {

struct Box {
    std::string text;
    std::string title;
};

// Replaces the message box backend while it lives; boxes are kept in order.
class BoxRecorder {
public:
    BoxRecorder();
    ~BoxRecorder();
    const std::vector<Box>& boxes() const;
    void clear();
};

// A fresh folder made the working folder; the old one comes back at the end.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::string& path() const { return path_; }
    // The whole of ./log.txt, empty when there is none.
    std::string log() const;
    void clearLog() const;

private:
    testworld::TempResources world_;
    std::string path_;
};

std::string readFile(const std::string& path);
// Makes `to` a tree of folders and links to the files of `from` (copies on
// Windows), so that a test can remove or replace single files.
void linkTree(const std::string& from, const std::string& to);
std::vector<std::uint8_t> readBytes(const std::string& path);

// A visible window with a current OpenGL context, origin bottom-left and one
// unit per pixel. `ready()` is false (with `reason()`) when there is no display.
class GlWindow {
public:
    GlWindow(int width, int height);
    ~GlWindow();
    bool ready() const { return context_ != nullptr; }
    const std::string& reason() const { return reason_; }
    int width() const { return width_; }
    int height() const { return height_; }
    // RGBA rows from the bottom, of the back buffer.
    std::vector<std::uint8_t> readPixels() const;
    // Writes the back buffer as a TGA picture (rows from the bottom, as read).
    bool saveScreenshot(const std::string& path) const;
    void present() const;

private:
    int width_;
    int height_;
    plat::WindowHandle window_ = nullptr;
    plat::DeviceContext dc_ = nullptr;
    plat::GlContext context_ = nullptr;
    std::string reason_;
};

struct FeedbackVertex {
    float x, y, z;
    float s, t;
};
using FeedbackPolygon = std::vector<FeedbackVertex>;

// Runs `draw` in feedback mode and returns the polygons it produced, in
// window coordinates.
std::vector<FeedbackPolygon> captureFeedback(const std::function<void()>& draw);

// Sets projection and model-view to one unit per pixel with the origin at the bottom left.
void setPixelProjection(int width, int height);

}  // namespace testsupport
