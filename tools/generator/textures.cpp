#include "tools/generator/textures.h"

#include <cmath>
#include <vector>

#include "tools/generator/noise.h"

namespace {

constexpr float kPi = 3.14159265f;

struct Vec3 {
    float x, y, z;
};

// The point of the unit sphere seen at (u, v) of a map whose top row is the north pole.
Vec3 spherePoint(float u, float v) {
    const float lat = (0.5f - v) * kPi;
    const float lon = u * 2.0f * kPi;
    return {std::cos(lat) * std::sin(lon), std::cos(lat) * std::cos(lon), std::sin(lat)};
}

float latitude(float v) { return (0.5f - v) * kPi; }

struct Crater {
    Vec3 centre;
    float radius;  // radians
    float depth;
};

std::vector<Crater> scatterCraters(std::uint64_t seed, int count, float smallest, float largest) {
    Random random(seed);
    std::vector<Crater> craters;
    for (int i = 0; i < count; ++i) {
        const float z = random.range(-1.0f, 1.0f);
        const float angle = random.range(0.0f, 2.0f * kPi);
        const float ring = std::sqrt(1.0f - z * z);
        // Many small craters, few large ones.
        const float size = smallest * std::pow(largest / smallest, random.uniform() * random.uniform());
        craters.push_back({{ring * std::cos(angle), ring * std::sin(angle), z}, size, random.range(0.6f, 1.0f)});
    }
    return craters;
}

// Brightness change from craters at point p: dark floors, bright rims lit from one side.
float craterShade(const std::vector<Crater>& craters, const Vec3& p) {
    float shade = 0.0f;
    for (const Crater& c : craters) {
        const float dot = p.x * c.centre.x + p.y * c.centre.y + p.z * c.centre.z;
        if (dot < std::cos(c.radius * 1.6f)) {
            continue;
        }
        const float d = std::acos(std::fmin(1.0f, dot)) / c.radius;
        // Which side of the crater the point lies on, for the light from the east.
        const float side = (p.x - c.centre.x) * c.centre.y - (p.y - c.centre.y) * c.centre.x;
        const float lit = side / (c.radius + 1e-4f);
        if (d < 1.0f) {
            shade -= c.depth * (0.22f * (1.0f - d * d) - 0.12f * lit * d);
        }
        shade += c.depth * 0.22f * std::exp(-((d - 1.0f) * (d - 1.0f)) / 0.02f) * (0.6f + 0.4f * lit);
    }
    return shade;
}

Color rockySurface(const Noise3& noise, const std::vector<Crater>& craters, float u, float v, const Color& light,
                   const Color& dark, float mariaAmount) {
    const Vec3 p = spherePoint(u, v);
    const float grain = noise.fbm(p.x * 6, p.y * 6, p.z * 6, 5);
    const float maria = smoothstep(0.05f, 0.22f, noise.fbm(p.x * 1.3f + 7, p.y * 1.3f, p.z * 1.3f, 4)) * mariaAmount;
    Color c = mix(light, dark, maria);
    const float shade = 1.0f + 0.35f * grain + craterShade(craters, p);
    return scaled(c, shade);
}

float length2(float x, float y) { return std::sqrt(x * x + y * y); }

// Signed distance to a five-pointed star of outer radius r, point up (y up).
float starDistance(float px, float py, float r, float inner) {
    const float k1x = 0.809016994f, k1y = -0.587785252f;
    const float k2x = -k1x, k2y = k1y;
    px = std::fabs(px);
    float d = std::fmax(k1x * px + k1y * py, 0.0f);
    px -= 2 * d * k1x;
    py -= 2 * d * k1y;
    d = std::fmax(k2x * px + k2y * py, 0.0f);
    px -= 2 * d * k2x;
    py -= 2 * d * k2y;
    px = std::fabs(px);
    py -= r;
    const float bax = inner * -k1y, bay = inner * k1x - 1.0f;
    const float h = std::fmin(std::fmax((px * bax + py * bay) / (bax * bax + bay * bay), 0.0f), r);
    const float dist = length2(px - bax * h, py - bay * h);
    return (py * bax - px * bay) > 0 ? dist : -dist;
}

float roundedBox(float px, float py, float hx, float hy, float radius) {
    const float qx = std::fabs(px) - hx + radius, qy = std::fabs(py) - hy + radius;
    return length2(std::fmax(qx, 0.0f), std::fmax(qy, 0.0f)) + std::fmin(std::fmax(qx, qy), 0.0f) - radius;
}

float smoothUnion(float a, float b, float k) {
    const float h = clamp01(0.5f + 0.5f * (b - a) / k);
    return b + (a - b) * h - k * h * (1.0f - h);
}

}  // namespace

Image paintEarth(int width, int height) {
    Image image(width, height, false);
    const Noise3 land(11), climate(12), clouds(13);
    const Color deep = rgb(8, 28, 86), shallow = rgb(32, 96, 168), grass = rgb(58, 118, 48), forest = rgb(30, 82, 38),
                desert = rgb(196, 170, 112), rock = rgb(122, 106, 88), ice = rgb(236, 242, 248);
    image.fill([&](float u, float v) {
        const Vec3 p = spherePoint(u, v);
        const float lat = std::fabs(latitude(v)) / (kPi / 2);
        const float h = land.fbm(p.x * 1.7f, p.y * 1.7f, p.z * 1.7f, 7) - 0.07f;  // about a third is land
        Color c;
        if (h < 0.0f) {
            c = mix(shallow, deep, smoothstep(0.0f, 0.18f, -h));
        } else {
            const float wet = climate.fbm(p.x * 2.2f, p.y * 2.2f, p.z * 2.2f, 4);
            c = mix(grass, forest, smoothstep(-0.1f, 0.25f, wet));
            // Deserts gather around the tropics, where the air comes down dry.
            const float dry = smoothstep(0.1f, 0.35f, -wet + 0.3f * (1.0f - std::fabs(lat - 0.3f) * 4.0f));
            c = mix(c, desert, dry);
            c = mix(c, rock, smoothstep(0.14f, 0.26f, h));
            c = mix(c, ice, smoothstep(0.3f, 0.36f, h) * 0.8f);
        }
        const float polar = smoothstep(0.8f, 0.88f, lat + 0.05f * land.at(p.x * 5, p.y * 5, p.z * 5));
        c = mix(c, ice, polar);
        const float warp = clouds.fbm(p.x * 1.5f, p.y * 1.5f, p.z * 1.5f, 3);
        const float cover = clouds.fbm(p.x * 3 + warp * 2, p.y * 3.5f, p.z * 3 - warp, 5);
        return mix(c, rgb(250, 250, 252), smoothstep(0.08f, 0.4f, cover) * 0.85f);
    });
    return image;
}

namespace {

struct RockyLook {
    std::uint64_t seed;
    int craters;
    float smallest, largest;  // crater radii, radians
    Color light, dark;
    float maria;  // how much of the dark lowland there is
};

Image paintRocky(int width, int height, const RockyLook& look) {
    Image image(width, height, false);
    const Noise3 noise(look.seed);
    const std::vector<Crater> craters = scatterCraters(look.seed + 1, look.craters, look.smallest, look.largest);
    image.fill([&](float u, float v) { return rockySurface(noise, craters, u, v, look.light, look.dark, look.maria); });
    return image;
}

}  // namespace

Image paintMoon(int width, int height) {
    return paintRocky(width, height, {21, 90, 0.025f, 0.28f, rgb(176, 174, 170), rgb(92, 92, 96), 0.8f});
}

Image paintMercury(int width, int height) {
    return paintRocky(width, height, {31, 140, 0.02f, 0.22f, rgb(150, 136, 120), rgb(104, 94, 86), 0.4f});
}

Image paintVenus(int width, int height) {
    Image image(width, height, false);
    const Noise3 noise(41);
    const Color pale = rgb(238, 218, 164), amber = rgb(204, 150, 82), haze = rgb(250, 238, 205);
    image.fill([&](float u, float v) {
        const Vec3 p = spherePoint(u, v);
        const float turbulence = noise.fbm(p.x * 2.5f, p.y * 2.5f, p.z * 2.5f, 6);
        const float bands = 0.5f + 0.5f * std::sin(latitude(v) * 7.0f + turbulence * 5.0f);
        Color c = mix(pale, amber, bands * 0.8f);
        const float veil = smoothstep(0.0f, 0.5f, noise.fbm(p.x * 5 + 3, p.y * 5, p.z * 5, 4) + 0.2f);
        return mix(c, haze, veil * 0.35f);
    });
    return image;
}

Image paintSun(int size) {
    Image image(size, size, true);
    const Noise3 noise(51);
    image.fill([&](float u, float v) {
        const float x = u * 2 - 1, y = v * 2 - 1;
        const float r = length2(x, y);
        const float angle = std::atan2(y, x);
        // Soft rays: the corona reaches further in some directions than in others.
        const float rays = 1.0f + 0.25f * noise.fbm(std::cos(angle) * 2.5f, std::sin(angle) * 2.5f, 0.7f, 3);
        const float disc = 1.0f - smoothstep(0.27f, 0.3f, r);
        const float reach = std::fmax(r - 0.28f, 0.0f) / rays;
        // Bright near the disc, and below the game's alpha cut-off (0.1) well inside the card.
        const float glow = std::exp(-reach * reach * 14.0f) * (1.0f - smoothstep(0.75f, 0.95f, r));
        const float mottle = 0.93f + 0.07f * noise.fbm(x * 12, y * 12, 0.5f, 3);
        const Color corona = mix(rgb(255, 250, 215), rgb(255, 196, 80), smoothstep(0.28f, 0.6f, r));
        Color c = mix(corona, scaled(rgb(255, 252, 232), mottle), disc);
        c.a = clamp01(std::fmax(disc, glow));
        return c;
    });
    return image;
}

Image paintBonus(int size) {
    Image image(size, size, true);
    image.fill([&](float u, float v) {
        const float x = u * 2 - 1, y = 1 - v * 2;  // y up
        const float d = starDistance(x, y + 0.06f, 0.78f, 0.45f);
        const float inside = 1.0f - smoothstep(-0.01f, 0.01f, d);
        // Bevel: lighter towards the middle, a dark edge at the rim.
        const float depth = clamp01(-d / 0.25f);
        Color gold = mix(rgb(230, 120, 10), rgb(255, 214, 60), depth);
        gold = mix(gold, rgb(255, 250, 215), smoothstep(0.6f, 1.0f, depth) * (0.5f + 0.5f * (x - y) * 0.5f));
        gold = mix(rgb(140, 60, 0), gold, smoothstep(0.0f, 0.05f, -d));
        Color glow = rgb(255, 230, 90);
        glow.a = 0.75f * std::exp(-std::fmax(d, 0.0f) * 9.0f);
        Color c = mix(glow, gold, inside);
        c.a = std::fmax(inside, glow.a) * (1.0f - smoothstep(0.92f, 1.0f, length2(x, y)));
        return c;
    });
    return image;
}

Image paintSkull(int size) {
    Image image(size, size, true);
    image.fill([&](float u, float v) {
        const float x = u * 2 - 1, y = 1 - v * 2;  // y up
        const float cranium = length2(x, (y - 0.16f) * 1.05f) - 0.56f;
        const float jaw = roundedBox(x, y + 0.42f, 0.34f, 0.2f, 0.1f);
        const float head = smoothUnion(cranium, jaw, 0.12f);
        const float eyeL = length2(x + 0.22f, (y - 0.02f) * 0.9f) - 0.15f;
        const float eyeR = length2(x - 0.22f, (y - 0.02f) * 0.9f) - 0.15f;
        const float nose = std::fmax(std::fabs(x) * 1.6f + (y + 0.18f) * 0.8f, -(y + 0.28f)) - 0.07f;
        const float holes = std::fmin(std::fmin(eyeL, eyeR), nose);
        // Teeth: dark gaps across the jaw.
        const float gap = std::fabs(std::fmod(x + 1.0f + 0.05f, 0.11f) - 0.055f);
        const bool teethRow = y < -0.36f && y > -0.58f && std::fabs(x) < 0.28f;
        const float inside = 1.0f - smoothstep(-0.012f, 0.012f, head);
        Color bone = mix(rgb(196, 186, 164), rgb(246, 240, 226), clamp01(0.5f + y * 0.5f - x * 0.3f));
        bone = mix(rgb(70, 60, 50), bone, smoothstep(0.0f, 0.04f, -head));
        const float hole = 1.0f - smoothstep(-0.012f, 0.012f, holes);
        bone = mix(bone, rgb(30, 6, 6), hole);
        if (teethRow) {
            bone = mix(rgb(60, 40, 30), bone, smoothstep(0.006f, 0.016f, gap));
            bone = mix(rgb(60, 40, 30), bone, smoothstep(0.008f, 0.02f, std::fabs(y + 0.47f)));
        }
        // A red glow around the head, so that a skull reads as danger on any background.
        Color glow = rgb(255, 40, 20);
        glow.a = 0.7f * std::exp(-std::fmax(head, 0.0f) * 10.0f);
        Color c = mix(glow, bone, inside);
        c.a = std::fmax(inside, glow.a) * (1.0f - smoothstep(0.92f, 1.0f, length2(x, y)));
        return c;
    });
    return image;
}

Image paintBar(int width, int height) {
    Image image(width, height, false);
    image.fill([&](float u, float v) {
        Color c = mix(rgb(26, 44, 92), rgb(8, 12, 32), smoothstep(0.1f, 1.0f, v));
        c = mix(c, rgb(70, 110, 190), (1.0f - smoothstep(0.0f, 0.25f, v)) * 0.6f);
        const float stripe = std::fmod((u * width + v * height) / 12.0f, 1.0f) < 0.5f ? 1.0f : 0.0f;
        c = scaled(c, 1.0f + 0.06f * stripe);
        const float edge = std::fmin(v, 1.0f - v) * height;
        if (edge < 2.0f) {
            c = rgb(80, 220, 255);
        } else if (edge < 3.0f) {
            c = rgb(10, 40, 70);
        }
        return c;
    });
    return image;
}

Image paintHull(int size) {
    Image image(size, size, false);
    const Noise3 noise(61);
    const int cell = size / 8;
    image.fill([&](float u, float v) {
        const int px = static_cast<int>(u * size), py = static_cast<int>(v * size);
        // Panels: a grid whose cells are sometimes joined in pairs, each with its own tint.
        const int cx = px / cell, cy = py / (cell / 2);
        Random panel(static_cast<std::uint64_t>(cx * 131 + (cy / 2) * 17 + 5));
        const float tint = panel.range(-0.07f, 0.07f);
        Color c = mix(rgb(150, 156, 168), rgb(112, 122, 140), clamp01(std::fabs(u - 0.5f) * 2.2f));
        c = scaled(c, 1.0f + tint + 0.08f * noise.fbm(u * 16, v * 16, 0.3f, 4));
        const int lx = px % cell, ly = py % cell;
        if (lx == 0 || (ly == 0 && (cy % 2 == 0 || panel.uniform() < 0.5f))) {
            c = scaled(c, 0.55f);  // panel seams
        }
        const int rx = (lx + 4) % cell, ry = (ly + 4) % cell;
        if ((rx == 0 || rx == 8) && (ry == 0 || ry == 8)) {
            c = scaled(c, 1.25f);  // rivets
        }
        // Racing stripes down the spine.
        const float off = std::fabs(u - 0.5f);
        if (off > 0.025f && off < 0.06f) {
            c = mix(c, rgb(214, 64, 32), 0.85f);
        }
        // A dark exhaust scorch towards the stern (the bottom of the map).
        c = scaled(c, 1.0f - 0.35f * smoothstep(0.8f, 1.0f, v) * (0.6f + 0.4f * noise.at(u * 20, v * 20, 1)));
        return c;
    });
    return image;
}

Image paintCar(int size) {
    Image image(size, size, false);
    image.fill([&](float u, float v) {
        const int px = static_cast<int>(u * size), py = static_cast<int>(v * size);
        Color c = rgb(92, 98, 108);
        if (v > 0.38f && v < 0.62f) {
            // Hazard band.
            c = ((px + py) / 12) % 2 == 0 ? rgb(250, 200, 20) : rgb(24, 24, 24);
        }
        const int border = std::min(std::min(px, py), std::min(size - 1 - px, size - 1 - py));
        if (border < 4) {
            c = rgb(60, 64, 72);
        }
        const int bx = px % (size - 16) - 6, by = py % (size - 16) - 6;
        if (bx >= 0 && bx < 4 && by >= 0 && by < 4) {
            c = rgb(200, 204, 210);  // bolts in the corners
        }
        return c;
    });
    return image;
}
