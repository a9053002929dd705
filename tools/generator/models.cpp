#include "tools/generator/models.h"

#include <cmath>
#include <functional>

namespace {

struct Ring {
    float y;       // position along the body
    float cx, cz;  // centre of the section
    float w, h;    // half width and half height
};

struct Point2 {
    float a, b;
};

// Turns the triangles added since `firstIndex` so that they face away from
// the part's centre; each part is a closed surface on its own.
void orientOutwards(Mesh& mesh, std::size_t firstIndex) {
    if (signedVolume6(mesh, firstIndex) < 0) {
        for (std::size_t i = firstIndex; i < mesh.indices.size(); i += 3) {
            std::swap(mesh.indices[i + 1], mesh.indices[i + 2]);
        }
    }
}

// A body of revolution-like sections along y, closed by a point at each end.
// `roundness` 2 gives ellipses, larger values squarer sections.
void loft(Mesh& mesh, const std::vector<Ring>& rings, int segments, float roundness, float backTip,
          float frontTip) {
    const std::size_t firstIndex = mesh.indices.size();
    std::vector<std::uint16_t> previous;
    for (const Ring& ring : rings) {
        std::vector<std::uint16_t> current;
        for (int j = 0; j < segments; ++j) {
            const float t = 2.0f * 3.14159265f * static_cast<float>(j) / static_cast<float>(segments);
            const float c = std::cos(t), s = std::sin(t);
            const float e = 2.0f / roundness;
            const float x = std::copysign(std::pow(std::fabs(c), e), c);
            const float z = std::copysign(std::pow(std::fabs(s), e), s);
            current.push_back(mesh.add(ring.cx + ring.w * x, ring.y, ring.cz + ring.h * z));
        }
        if (!previous.empty()) {
            for (int j = 0; j < segments; ++j) {
                const int k = (j + 1) % segments;
                mesh.quad(previous[j], current[j], current[k], previous[k]);
            }
        }
        previous = current;
    }
    const Ring& first = rings.front();
    const Ring& last = rings.back();
    const std::uint16_t back = mesh.add(first.cx, backTip, first.cz);
    const std::uint16_t front = mesh.add(last.cx, frontTip, last.cz);
    const std::size_t firstRing = mesh.vertices.size() - 2 - rings.size() * segments;
    for (int j = 0; j < segments; ++j) {
        const int k = (j + 1) % segments;
        mesh.triangle(static_cast<std::uint16_t>(firstRing + j), static_cast<std::uint16_t>(firstRing + k), back);
        mesh.triangle(previous[j], front, previous[k]);
    }
    orientOutwards(mesh, firstIndex);
}

// A flat plate: a convex outline given in two coordinates, thickened on both
// sides by `place(point, side)` with side -1 and +1.
void slab(Mesh& mesh, const std::vector<Point2>& outline,
          const std::function<void(const Point2&, float side, float& x, float& y, float& z)>& place) {
    const std::size_t firstIndex = mesh.indices.size();
    std::vector<std::uint16_t> top, bottom;
    for (const Point2& p : outline) {
        float x = 0, y = 0, z = 0;
        place(p, 1.0f, x, y, z);
        top.push_back(mesh.add(x, y, z));
        place(p, -1.0f, x, y, z);
        bottom.push_back(mesh.add(x, y, z));
    }
    const std::size_t n = outline.size();
    for (std::size_t i = 1; i + 1 < n; ++i) {
        mesh.triangle(top[0], top[i], top[i + 1]);
        mesh.triangle(bottom[0], bottom[i + 1], bottom[i]);
    }
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t k = (i + 1) % n;
        mesh.quad(bottom[i], bottom[k], top[k], top[i]);
    }
    orientOutwards(mesh, firstIndex);
}

// A short cylinder along y.
void pod(Mesh& mesh, float x, float z, float y0, float y1, float radius, int segments) {
    loft(mesh, {{y0, x, z, radius, radius}, {y1, x, z, radius, radius}}, segments, 2.0f, y0 - radius * 0.3f,
         y1 + radius * 0.6f);
}

}  // namespace

double signedVolume6(const Mesh& mesh, std::size_t firstIndex) {
    double cx = 0, cy = 0, cz = 0;
    std::size_t n = 0;
    for (std::size_t i = firstIndex; i < mesh.indices.size(); ++i, ++n) {
        const MeshVertex& v = mesh.vertices[mesh.indices[i]];
        cx += v.x;
        cy += v.y;
        cz += v.z;
    }
    if (n == 0) {
        return 0;
    }
    cx /= n;
    cy /= n;
    cz /= n;
    double volume = 0;
    for (std::size_t i = firstIndex; i + 2 < mesh.indices.size(); i += 3) {
        const MeshVertex& a = mesh.vertices[mesh.indices[i]];
        const MeshVertex& b = mesh.vertices[mesh.indices[i + 1]];
        const MeshVertex& c = mesh.vertices[mesh.indices[i + 2]];
        const double ax = a.x - cx, ay = a.y - cy, az = a.z - cz;
        const double bx = b.x - cx, by = b.y - cy, bz = b.z - cz;
        const double qx = c.x - cx, qy = c.y - cy, qz = c.z - cz;
        volume += ax * (by * qz - bz * qy) - ay * (bx * qz - bz * qx) + az * (bx * qy - by * qx);
    }
    return volume;
}

Mesh buildShip() {
    Mesh ship;
    ship.name = "SpaceCraft";
    // Fuselage, stern to nose; the stern closes inwards like a nozzle.
    loft(ship,
         {{-4.6f, 0, 0, 0.75f, 0.55f},
          {-3.0f, 0, 0, 0.95f, 0.7f},
          {-0.5f, 0, 0, 0.95f, 0.72f},
          {2.0f, 0, 0, 0.7f, 0.55f},
          {3.8f, 0, 0, 0.4f, 0.32f},
          {4.8f, 0, 0, 0.15f, 0.12f}},
         10, 2.6f, -4.3f, 5.3f);
    // Canopy on the back of the fuselage.
    loft(ship,
         {{-0.4f, 0, 0.5f, 0.2f, 0.15f},
          {0.2f, 0, 0.55f, 0.4f, 0.32f},
          {1.2f, 0, 0.55f, 0.42f, 0.34f},
          {2.1f, 0, 0.5f, 0.3f, 0.24f},
          {2.7f, 0, 0.45f, 0.12f, 0.1f}},
         8, 2.0f, -0.7f, 3.0f);
    for (const float side : {1.0f, -1.0f}) {
        // Swept wing with a little dihedral.
        slab(ship, {{0.7f, -3.2f}, {4.2f, -3.6f}, {4.4f, -2.6f}, {0.7f, 0.8f}},
             [side](const Point2& p, float s, float& x, float& y, float& z) {
                 x = side * p.a;
                 y = p.b;
                 z = -0.15f + 0.06f * (p.a - 0.7f) + s * 0.07f;
             });
        // Engine nacelle under the wing root.
        loft(ship,
             {{-4.9f, side * 1.5f, -0.25f, 0.42f, 0.42f},
              {-4.4f, side * 1.5f, -0.25f, 0.5f, 0.5f},
              {-2.0f, side * 1.5f, -0.25f, 0.5f, 0.5f},
              {-1.2f, side * 1.5f, -0.25f, 0.33f, 0.33f}},
             8, 2.0f, -4.6f, -0.8f);
        // Cannon at the wing tip.
        pod(ship, side * 4.3f, 0.05f, -3.8f, -0.6f, 0.12f, 6);
        // Tail fin, canted outwards.
        slab(ship, {{-4.4f, 0.4f}, {-2.6f, 0.5f}, {-3.9f, 1.6f}, {-4.6f, 1.6f}},
             [side](const Point2& p, float s, float& x, float& y, float& z) {
                 x = side * (0.5f + 0.3f * (p.b - 0.4f)) + s * 0.05f;
                 y = p.a;
                 z = p.b;
             });
    }
    ship.mapFromAbove();
    return ship;
}

Mesh buildCar() {
    Mesh car;
    car.name = "HoverCar";
    loft(car,
         {{-2.0f, 0, 0.35f, 1.2f, 0.35f},
          {-1.6f, 0, 0.4f, 1.3f, 0.45f},
          {1.2f, 0, 0.4f, 1.25f, 0.4f},
          {1.9f, 0, 0.3f, 1.0f, 0.25f}},
         8, 4.0f, -2.1f, 2.15f);
    loft(car,
         {{-1.1f, 0, 0.75f, 0.2f, 0.1f},
          {-0.6f, 0, 0.8f, 0.75f, 0.4f},
          {0.4f, 0, 0.8f, 0.7f, 0.38f},
          {0.9f, 0, 0.75f, 0.2f, 0.1f}},
         8, 2.5f, -1.3f, 1.2f);
    for (const float sx : {1.0f, -1.0f}) {
        for (const float sy : {1.0f, -1.0f}) {
            pod(car, sx * 1.45f, 0.2f, sy * 1.2f - 0.45f, sy * 1.2f + 0.45f, 0.3f, 8);
        }
        // Spoiler strut.
        slab(car, {{-2.0f, 0.6f}, {-1.7f, 0.6f}, {-1.9f, 1.15f}, {-2.05f, 1.15f}},
             [sx](const Point2& p, float s, float& x, float& y, float& z) {
                 x = sx * 0.9f + s * 0.06f;
                 y = p.a;
                 z = p.b;
             });
    }
    slab(car, {{-1.3f, -2.15f}, {1.3f, -2.15f}, {1.3f, -1.75f}, {-1.3f, -1.75f}},
         [](const Point2& p, float s, float& x, float& y, float& z) {
             x = p.a;
             y = p.b;
             z = 1.15f + s * 0.05f;
         });
    car.mapFromAbove();
    return car;
}
