// The scene test binary is linked with --wrap for these GL and GLU entry
// points: every call from the game's code lands here first, is noted while a
// recording runs, and goes on to the real function.

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <vector>

#include "tests/scene/scene_world.h"

namespace scenetest {
namespace {

Recording current;
bool on = false;
bool inLines = false;
bool inQuads = false;
std::vector<std::array<float, 2>> quadCorners;  // of the glBegin(GL_QUADS) being drawn
// The vertex array as the last glVertexPointer set it.
struct VertexArray {
    GLint size = 0;
    GLenum type = 0;
    GLsizei stride = 0;
    const void* pointer = nullptr;
} vertexArray;
std::vector<QuadricState> made;  // every quadric of the process, recording or not

QuadricState* stateOf(const void* quadric) {
    for (QuadricState& known : made) {
        if (known.quadric == quadric) {
            return &known;
        }
    }
    return nullptr;
}

// Corners through the current model-view matrix, four at a time, as boxes.
std::vector<FlatQuad> boxesOf(const std::vector<std::array<float, 2>>& corners) {
    const Matrix m = currentModelView();
    std::vector<FlatQuad> boxes;
    for (std::size_t first = 0; first + 4 <= corners.size(); first += 4) {
        FlatQuad box{1e30f, 1e30f, -1e30f, -1e30f};
        for (std::size_t i = first; i < first + 4; ++i) {
            const float x = m[0] * corners[i][0] + m[4] * corners[i][1] + m[12];
            const float y = m[1] * corners[i][0] + m[5] * corners[i][1] + m[13];
            box = {std::min(box.left, x), std::min(box.bottom, y), std::max(box.right, x), std::max(box.top, y)};
        }
        boxes.push_back(box);
    }
    return boxes;
}

}  // namespace

FlatQuad QuadArray::box() const {
    FlatQuad all{1e30f, 1e30f, -1e30f, -1e30f};
    for (const FlatQuad& q : quads) {
        all = {std::min(all.left, q.left), std::min(all.bottom, q.bottom), std::max(all.right, q.right),
               std::max(all.top, q.top)};
    }
    return all;
}

bool Recording::bound(GLuint texture) const { return firstBind(texture) != nullptr; }

const BindCall* Recording::firstBind(GLuint texture) const {
    const auto found =
        std::find_if(binds.begin(), binds.end(), [texture](const BindCall& call) { return call.texture == texture; });
    return found == binds.end() ? nullptr : &*found;
}

void startRecording() {
    current = Recording();
    on = true;
}

void stopRecording() { on = false; }

const Recording& recording() { return current; }

const std::vector<QuadricState>& quadricsOfTheProcess() { return made; }

}  // namespace scenetest

using scenetest::current;
using scenetest::on;

extern "C" {

#ifdef _WIN32
// opengl32's functions are called through the pointers of the import table
// (__imp_glBegin): those are what is wrapped there. The game's calls find a
// pointer to the wrapper, and __real___imp_ is the DLL's own pointer.
extern void(APIENTRY* __real___imp_glBindTexture)(GLenum, GLuint);
extern void(APIENTRY* __real___imp_glBegin)(GLenum);
extern void(APIENTRY* __real___imp_glEnd)();
extern void(APIENTRY* __real___imp_glVertex3f)(GLfloat, GLfloat, GLfloat);
extern void(APIENTRY* __real___imp_glVertex2f)(GLfloat, GLfloat);
extern void(APIENTRY* __real___imp_glVertexPointer)(GLint, GLenum, GLsizei, const void*);
extern void(APIENTRY* __real___imp_glDrawArrays)(GLenum, GLint, GLsizei);
extern void(APIENTRY* __real___imp_glCallLists)(GLsizei, GLenum, const void*);
void __real_glBindTexture(GLenum target, GLuint texture) { __real___imp_glBindTexture(target, texture); }
void __real_glBegin(GLenum mode) { __real___imp_glBegin(mode); }
void __real_glEnd() { __real___imp_glEnd(); }
void __real_glVertex3f(GLfloat x, GLfloat y, GLfloat z) { __real___imp_glVertex3f(x, y, z); }
void __real_glVertex2f(GLfloat x, GLfloat y) { __real___imp_glVertex2f(x, y); }
void __real_glVertexPointer(GLint size, GLenum type, GLsizei stride, const void* pointer) {
    __real___imp_glVertexPointer(size, type, stride, pointer);
}
void __real_glDrawArrays(GLenum mode, GLint first, GLsizei count) { __real___imp_glDrawArrays(mode, first, count); }
void __real_glCallLists(GLsizei n, GLenum type, const void* lists) { __real___imp_glCallLists(n, type, lists); }
#else
void __real_glBindTexture(GLenum target, GLuint texture);
void __real_glBegin(GLenum mode);
void __real_glEnd();
void __real_glVertex3f(GLfloat x, GLfloat y, GLfloat z);
void __real_glVertex2f(GLfloat x, GLfloat y);
void __real_glVertexPointer(GLint size, GLenum type, GLsizei stride, const void* pointer);
void __real_glDrawArrays(GLenum mode, GLint first, GLsizei count);
void __real_glCallLists(GLsizei n, GLenum type, const void* lists);
#endif
void __real_gluSphere(GLUquadric* quadric, GLdouble radius, GLint slices, GLint stacks);
GLUquadric* __real_gluNewQuadric();
void __real_gluDeleteQuadric(GLUquadric* quadric);
void __real_gluQuadricDrawStyle(GLUquadric* quadric, GLenum draw);
void __real_gluQuadricTexture(GLUquadric* quadric, GLboolean texture);

void __wrap_glBindTexture(GLenum target, GLuint texture) {
    __real_glBindTexture(target, texture);
    if (on) {
        current.binds.push_back({texture, scenetest::currentModelView()});
    }
}

void __wrap_glBegin(GLenum mode) {
    scenetest::inLines = mode == GL_LINES;
    scenetest::inQuads = mode == GL_QUADS;
    scenetest::quadCorners.clear();
    if (on && scenetest::inLines) {
        ++current.lineBatches;
    }
    __real_glBegin(mode);
}

void __wrap_glEnd() {
    __real_glEnd();
    if (on && scenetest::inQuads) {
        const std::vector<scenetest::FlatQuad> boxes = scenetest::boxesOf(scenetest::quadCorners);
        current.immediateQuads.insert(current.immediateQuads.end(), boxes.begin(), boxes.end());
    }
    scenetest::inLines = false;
    scenetest::inQuads = false;
}

void __wrap_glVertex2f(GLfloat x, GLfloat y) {
    if (on && scenetest::inQuads) {
        scenetest::quadCorners.push_back({x, y});
    }
    __real_glVertex2f(x, y);
}

void __wrap_glVertexPointer(GLint size, GLenum type, GLsizei stride, const void* pointer) {
    scenetest::vertexArray = {size, type, stride, pointer};
    __real_glVertexPointer(size, type, stride, pointer);
}

void __wrap_glDrawArrays(GLenum mode, GLint first, GLsizei count) {
    __real_glDrawArrays(mode, first, count);
    const scenetest::VertexArray& array = scenetest::vertexArray;
    if (!on || mode != GL_QUADS) {
        return;
    }
    // Only arrays of x, y floats are understood; anything else is noted empty.
    scenetest::QuadArray drawn;
    if (array.type == GL_FLOAT && array.size == 2 && array.pointer != nullptr) {
        const GLsizei step = array.stride == 0 ? 2 * static_cast<GLsizei>(sizeof(GLfloat)) : array.stride;
        std::vector<std::array<float, 2>> corners;
        for (GLsizei i = first; i < first + count; ++i) {
            const auto* xy = reinterpret_cast<const GLfloat*>(static_cast<const char*>(array.pointer) + i * step);
            corners.push_back({xy[0], xy[1]});
        }
        drawn.quads = scenetest::boxesOf(corners);
    }
    GLint texture = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
    drawn.texture = static_cast<GLuint>(texture);
    glGetFloatv(GL_CURRENT_COLOR, drawn.color);
    current.quadArrays.push_back(drawn);
}

void __wrap_glCallLists(GLsizei n, GLenum type, const void* lists) {
    if (on) {
        ++current.listBatches;
    }
    __real_glCallLists(n, type, lists);
}

void __wrap_glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    if (on && scenetest::inLines) {
        current.lineVertices.push_back({x, y, z});
    }
    __real_glVertex3f(x, y, z);
}

void __wrap_gluSphere(GLUquadric* quadric, GLdouble radius, GLint slices, GLint stacks) {
    if (on) {
        GLint texture = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
        current.spheres.push_back(
            {radius, slices, stacks, quadric, static_cast<GLuint>(texture), scenetest::currentModelView()});
    }
    __real_gluSphere(quadric, radius, slices, stacks);
}

GLUquadric* __wrap_gluNewQuadric() {
    GLUquadric* quadric = __real_gluNewQuadric();
    scenetest::made.push_back({quadric, GLU_FILL, false});
    if (on) {
        ++current.quadricsMade;
    }
    return quadric;
}

void __wrap_gluDeleteQuadric(GLUquadric* quadric) {
    if (on) {
        ++current.quadricsFreed;
    }
    __real_gluDeleteQuadric(quadric);
}

void __wrap_gluQuadricDrawStyle(GLUquadric* quadric, GLenum draw) {
    if (scenetest::QuadricState* made = scenetest::stateOf(quadric)) {
        made->drawStyle = draw;
    }
    __real_gluQuadricDrawStyle(quadric, draw);
}

void __wrap_gluQuadricTexture(GLUquadric* quadric, GLboolean texture) {
    if (scenetest::QuadricState* made = scenetest::stateOf(quadric)) {
        made->textured = texture == GL_TRUE;
    }
    __real_gluQuadricTexture(quadric, texture);
}

#ifdef _WIN32
void(APIENTRY* __wrap___imp_glBindTexture)(GLenum, GLuint) = __wrap_glBindTexture;
void(APIENTRY* __wrap___imp_glBegin)(GLenum) = __wrap_glBegin;
void(APIENTRY* __wrap___imp_glEnd)() = __wrap_glEnd;
void(APIENTRY* __wrap___imp_glVertex3f)(GLfloat, GLfloat, GLfloat) = __wrap_glVertex3f;
void(APIENTRY* __wrap___imp_glVertex2f)(GLfloat, GLfloat) = __wrap_glVertex2f;
void(APIENTRY* __wrap___imp_glVertexPointer)(GLint, GLenum, GLsizei, const void*) = __wrap_glVertexPointer;
void(APIENTRY* __wrap___imp_glDrawArrays)(GLenum, GLint, GLsizei) = __wrap_glDrawArrays;
void(APIENTRY* __wrap___imp_glCallLists)(GLsizei, GLenum, const void*) = __wrap_glCallLists;
#endif

}  // extern "C"
