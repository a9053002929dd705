// The scene test binary is linked with --wrap for these GL and GLU entry
// points: every call from the game's code lands here first, is noted while a
// recording runs, and goes on to the real function.

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <vector>

#include "tests/scene/scene_world.h"

namespace scenetest {
namespace {

Recording current;
bool on = false;
bool inLines = false;
std::vector<QuadricState> made;  // every quadric of the process, recording or not

QuadricState* stateOf(const void* quadric) {
    for (QuadricState& known : made) {
        if (known.quadric == quadric) {
            return &known;
        }
    }
    return nullptr;
}

}  // namespace

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
void __real_glBindTexture(GLenum target, GLuint texture) { __real___imp_glBindTexture(target, texture); }
void __real_glBegin(GLenum mode) { __real___imp_glBegin(mode); }
void __real_glEnd() { __real___imp_glEnd(); }
void __real_glVertex3f(GLfloat x, GLfloat y, GLfloat z) { __real___imp_glVertex3f(x, y, z); }
#else
void __real_glBindTexture(GLenum target, GLuint texture);
void __real_glBegin(GLenum mode);
void __real_glEnd();
void __real_glVertex3f(GLfloat x, GLfloat y, GLfloat z);
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
    if (on && scenetest::inLines) {
        ++current.lineBatches;
    }
    __real_glBegin(mode);
}

void __wrap_glEnd() {
    scenetest::inLines = false;
    __real_glEnd();
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
#endif

}  // extern "C"
