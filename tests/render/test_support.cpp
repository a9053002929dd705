#include "tests/render/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/gl_context.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "tools/generator/tga_writer.h"

#include <gtest/gtest.h>

namespace testsupport {

namespace {

std::vector<Box>& recorded() {
    static std::vector<Box> boxes;
    return boxes;
}

int recordBox(const char* text, const char* title, std::uint32_t) {
    recorded().push_back({text, title});
    return plat::IDOK;
}

plat::LRESULT plainProc(plat::WindowHandle window, std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
    return plat::defWindowProc(window, message, wParam, lParam);
}

constexpr const char* kClassName = "RedavaveRenderTest";

}  // namespace

BoxRecorder::BoxRecorder() {
    recorded().clear();
    plat::setMessageBoxBackend(recordBox);
}

BoxRecorder::~BoxRecorder() { plat::setMessageBoxBackend(nullptr); }

const std::vector<Box>& BoxRecorder::boxes() const { return recorded(); }

void BoxRecorder::clear() { recorded().clear(); }

namespace {
testworld::WorldOptions entered() {
    testworld::WorldOptions options;
    options.enter = true;
    return options;
}
}  // namespace

ScratchFolder::ScratchFolder() : world_("test", entered()), path_(world_.path().string()) {
    EXPECT_TRUE(world_.ok()) << world_.error();
}

ScratchFolder::~ScratchFolder() = default;

std::string ScratchFolder::log() const {
    // Text mode: the log's lines end in CR LF on Windows, as its players expect.
    std::ifstream in("log.txt");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void ScratchFolder::clearLog() const { std::remove("log.txt"); }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void linkTree(const std::string& from, const std::string& to) {
    namespace fs = std::filesystem;
    fs::create_directories(to);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(from)) {
        const fs::path target = fs::path(to) / fs::relative(entry.path(), from);
        if (entry.is_directory()) {
            fs::create_directories(target);
        } else {
#ifdef _WIN32
            fs::copy_file(entry.path(), target);  // links to files need rights a player lacks
#else
            fs::create_symlink(fs::absolute(entry.path()), target);
#endif
        }
    }
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

GlWindow::GlWindow(int width, int height) : width_(width), height_(height) {
    if (std::getenv("DISPLAY") == nullptr) {
        reason_ = "needs an X display (DISPLAY is unset)";
        return;
    }
    plat::WindowClass wc;
    wc.style = plat::CS_OWNDC;
    wc.windowProc = plainProc;
    wc.instance = plat::moduleHandle();
    wc.className = kClassName;
    plat::registerClass(wc);  // may already be registered by an earlier window
    window_ = plat::createWindow(0, kClassName, "render test", plat::WS_POPUP | plat::WS_VISIBLE, 0, 0, width, height,
                                 plat::moduleHandle(), nullptr);
    if (window_ == nullptr) {
        reason_ = "the display refused a window";
        return;
    }
    dc_ = plat::getDC(window_);
    plat::PixelFormatDescriptor request;
    request.flags = plat::PFD_DRAW_TO_WINDOW | plat::PFD_SUPPORT_OPENGL | plat::PFD_DOUBLEBUFFER;
    request.colorBits = 24;
    request.depthBits = 16;
    const int format = plat::choosePixelFormat(dc_, &request);
    if (format == 0 || !plat::setPixelFormat(dc_, format, &request)) {
        reason_ = "no OpenGL pixel format";
        return;
    }
    context_ = plat::createContext(dc_);
    if (context_ == nullptr || !plat::makeCurrent(dc_, context_)) {
        reason_ = "no OpenGL context";
        context_ = nullptr;
        return;
    }
    glViewport(0, 0, width, height);
    setPixelProjection(width, height);
}

GlWindow::~GlWindow() {
    if (context_ != nullptr) {
        plat::makeCurrent(nullptr, nullptr);
        plat::deleteContext(context_);
    }
    if (window_ != nullptr) {
        plat::destroyWindow(window_);
    }
    plat::Message message;
    while (plat::peekMessage(&message, true)) {
    }
}

std::vector<std::uint8_t> GlWindow::readPixels() const {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width_) * height_ * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

bool GlWindow::saveScreenshot(const std::string& path) const {
    // The writer wants rows from the top.
    const std::vector<std::uint8_t> bottomUp = readPixels();
    std::vector<std::uint8_t> rgb;
    rgb.reserve(static_cast<std::size_t>(width_) * height_ * 3);
    for (int y = height_ - 1; y >= 0; --y) {
        for (int x = 0; x < width_; ++x) {
            const std::uint8_t* p = &bottomUp[(static_cast<std::size_t>(y) * width_ + x) * 4];
            rgb.insert(rgb.end(), p, p + 3);
        }
    }
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    const std::vector<std::uint8_t> file = encodeTga(rgb, width_, height_, 24, TgaKind::RunLength);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    return static_cast<bool>(out);
}

void GlWindow::present() const { plat::swapBuffers(dc_); }

void setPixelProjection(int width, int height) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

std::vector<FeedbackPolygon> captureFeedback(const std::function<void()>& draw) {
    std::vector<GLfloat> buffer(1 << 20);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    // Each vertex: x y z, colour (4), texture coordinate (4).
    constexpr int kVertexSize = 11;
    std::vector<FeedbackPolygon> polygons;
    for (GLint i = 0; i < used;) {
        const auto token = static_cast<GLenum>(buffer[i++]);
        if (token == GL_POLYGON_TOKEN) {
            const int count = static_cast<int>(buffer[i++]);
            FeedbackPolygon polygon;
            for (int k = 0; k < count; ++k, i += kVertexSize) {
                polygon.push_back({buffer[i], buffer[i + 1], buffer[i + 2], buffer[i + 7], buffer[i + 8]});
            }
            polygons.push_back(polygon);
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            i += 1;
        } else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN || token == GL_DRAW_PIXEL_TOKEN ||
                   token == GL_COPY_PIXEL_TOKEN) {
            i += kVertexSize;
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            i += 2 * kVertexSize;
        } else {
            break;  // unknown token: the rest cannot be parsed
        }
    }
    return polygons;
}

}  // namespace testsupport
